"""Synthetic jobs of the start-value study: each model's tests simulated by
the program itself with known parameters (the truth), so that the start
values soilcal derives from the curves can be held against the truth."""

import math


def _sin(deg):
    return math.sin(math.radians(deg))


def triaxial(name, cell, strain, steps, curves):
    text = ('\n[[tests]]\nname = "%s"\ntype = "triaxial_compression"\ncell_pressure = %r\n'
            'axial_strain = %r\nsteps = %d\n' % (name, cell, strain, steps))
    return text, [(name, y) for y in curves]


def extension(name, cell, strain, steps):
    text = ('\n[[tests]]\nname = "%s"\ntype = "triaxial_extension"\ncell_pressure = %r\n'
            'axial_strain = %r\nsteps = %d\n' % (name, cell, strain, steps))
    return text, [(name, "deviator_stress")]


def simple_shear(name, vertical, strain, steps):
    text = ('\n[[tests]]\nname = "%s"\ntype = "direct_simple_shear"\nvertical_stress = %r\n'
            'shear_strain = %r\nsteps = %d\n' % (name, vertical, strain, steps))
    return text, [(name, "shear_stress")]


def oedometer(name, start, k0, levels, steps):
    text = ('\n[[tests]]\nname = "%s"\ntype = "oedometer"\ninitial_vertical_stress = %r\n'
            'k0 = %r\nvertical_stress = %r\nsteps = %r\n' % (name, start, k0, levels, steps))
    return text, [(name, "axial_stress")]


def isotropic(name, start, levels, steps):
    text = ('\n[[tests]]\nname = "%s"\ntype = "isotropic_compression"\ninitial_pressure = %r\n'
            'pressure = %r\nsteps = %r\n' % (name, start, levels, steps))
    return text, [(name, "volumetric_strain")]


# x of each y quantity.
X_OF = {"deviator_stress": "axial_strain", "volumetric_strain": "axial_strain",
        "axial_stress": "axial_strain", "shear_stress": "shear_strain",
        "mean_effective_stress": "axial_strain"}
X_OF_TEST = {"isotropic_compression": {"volumetric_strain": "mean_effective_stress"}}


def jobs():
    """(label, model, drainage, parameters text, truth, tests)."""
    out = []
    phi = 34.0
    out.append(("Mohr-Coulomb, 3 drained triaxial tests with εv", "mohr_coulomb", "drained",
                "G = 20000\nnu = 0.3\nphi = 34\nc = 4\npsi = 6\nn0 = 0.4\nslot_22 = 1\n",
                {"G": 20000.0, "nu": 0.3, "phi": 34.0, "c": 4.0, "psi": 6.0},
                [triaxial("TX%d" % p, float(p), 0.08, 160, ["deviator_stress", "volumetric_strain"])
                 for p in (50, 150, 300)]))
    hs = ("E50ref = 25000\nEoedref = 22000\nEurref = 75000\nnu_ur = 0.2\nm = 0.55\npref = 100\n"
          "phi = 33\nc = 0\npsi = 4\nRf = 0.9\nK0nc = %r\nOCR = 1\nn0 = 0.4\nslot_22 = 1\n"
          % (1.0 - _sin(33.0)))
    hs_truth = {"E50ref": 25000.0, "Eoedref": 22000.0, "m": 0.55, "phi": 33.0, "Rf": 0.9,
                "psi": 4.0, "K0nc": 1.0 - _sin(33.0)}
    hs_tests = [triaxial("TX%d" % p, float(p), 0.10, 200, ["deviator_stress", "volumetric_strain"])
                for p in (50, 100, 200)]
    out.append(("Hardening Soil, 3 drained triaxial tests and an oedometer", "hardening_soil",
                 "drained", hs, hs_truth,
                 hs_tests + [oedometer("OED", 50.0, 1.0 - _sin(33.0), [800.0], 200)]))
    out.append(("Hardening Soil small-strain, 3 drained triaxial tests", "hardening_soil_small",
                "drained", hs + "G0ref = 90000\ngamma07 = 0.00015\n",
                {k: v for k, v in hs_truth.items() if k != "Eoedref"}, hs_tests))
    out.append(("Soft soil, oedometer with unloading (OCR 1.5)", "soft_soil", "drained",
                "nu_ur = 0.15\nphi = 25\nc = 2\npsi = 0\nM = 1\npref = 100\nK0nc = %r\n"
                "kappa_star = 0.02\nlambda_star = 0.1\nOCR = 1.5\nn0 = 0.5\n" % (1.0 - _sin(25.0)),
                {"lambda_star": 0.1, "kappa_star": 0.02, "OCR": 1.5},
                [oedometer("OED", 100.0, 1.0 - _sin(25.0), [1600.0, 200.0], [200, 100])]))
    out.append(("Modified Cam-Clay, isotropic compression and a drained triaxial test",
                "modified_cam_clay", "drained",
                "nu_ur = 0.2\nM = 1.2\nm = 1\npref = 100\nK0nc = 0.5\nkappa_star = 0.02\n"
                "lambda_star = 0.1\nOCR = 1\nn0 = 0.5\n",
                {"lambda_star": 0.1, "kappa_star": 0.02, "M": 1.2},
                [isotropic("ISO", 100.0, [800.0, 200.0], [200, 100]),
                 triaxial("TX200", 200.0, 0.25, 500, ["deviator_stress"])]))
    out.append(("NGI-ADP, undrained compression, extension and simple shear", "ngi_adp",
                "undrained",
                "nu = 0.2\nsuA = 50\nnu_u = 0.495\nGur_over_suA = 500\nsuP = 30\nsuDSS = 35\n"
                "gammaf_C = 4\ngammaf_E = 8\ngammaf_DSS = 6\nsuC_over_suA = 1\nslot_20 = 0.5\n",
                {"suA": 50.0, "suP": 30.0, "suDSS": 35.0, "gammaf_C": 4.0, "gammaf_E": 8.0,
                 "gammaf_DSS": 6.0, "Gur_over_suA": 500.0},
                [triaxial("TXC", 100.0, 0.06, 150, ["deviator_stress"]),
                 extension("TXE", 100.0, 0.10, 150), simple_shear("DSS", 100.0, 0.12, 150)]))
    return out


def search_jobs():
    """The synthetic jobs on which the default and the thorough search run
    from the derived and from hand-picked starts: (label, model, drainage,
    parameters text, tests, hand-picked parameters text, hand-picked free
    bounds text)."""
    clay = ("nu_ur = 0.15\nphi = 25\nc = 2\npsi = 0\nM = 1\npref = 100\nK0nc = %r\n"
            "kappa_star = 0.02\nlambda_star = 0.1\nOCR = 1.5\nn0 = 0.5\n" % (1.0 - _sin(25.0)))
    clay_hand = ("nu_ur = 0.15\nphi = 25\nc = 2\npsi = 0\nM = 1\npref = 100\nK0nc = %r\n"
                 "kappa_star = 0.01\nlambda_star = 0.05\nOCR = 1\nn0 = 0.5\n"
                 % (1.0 - _sin(25.0)))
    undrained = "G = 6000\nnu = 0.3\nphi = 28\nc = 0\npsi = 0\nn0 = 0.5\nslot_22 = 1\n"
    return [
        ("clay oedometer (soft soil, OCR 1.5, synthetic)", "soft_soil", "drained", clay,
         [oedometer("OED", 100.0, 1.0 - _sin(25.0), [1600.0, 200.0], [200, 100])],
         clay_hand, "lambda_star = [0.02, 0.3]\nkappa_star = [0.005, 0.05]\nOCR = [1, 3]\n"),
        ("undrained series (Mohr-Coulomb, 3 CU tests, synthetic)", "mohr_coulomb", "undrained",
         undrained,
         [triaxial("CU%d" % p, float(p), 0.06, 120, ["deviator_stress", "mean_effective_stress"])
          for p in (100, 200, 400)],
         "G = 10000\nnu = 0.3\nphi = 30\nc = 0\npsi = 0\nn0 = 0.5\nslot_22 = 1\n",
         "G = [1000, 40000]\nphi = [17.5, 45]\n"),
    ]
