"""soilcal.inspect: the readers of laboratory files from Python, on files the
test writes itself (a tidy table and a small AGS4 file), with the readings
as numpy arrays and a refused file as ValueError."""

import math

import numpy as np
import pytest

import soilcal


def test_a_tidy_table_gives_its_undrained_test_with_numpy_readings(tmp_path):
    path = tmp_path / "tmd.csv"
    path.write_text("eps_a [%],q [kPa],u [kPa],p' [kPa]\n"
                    "0,0,100,150\n1,60,130,140\n2,90,150,130\n")
    record = soilcal.inspect(str(path), need_test=True)
    assert record["format"] == "table"
    test = record["test"]
    assert test["kind"] == "triaxial_compression" and test["undrained"]
    # The start: p' - q/3 of the first row.
    assert test["cell_pressure"] == pytest.approx(150.0)
    curves = test["curves"]
    assert isinstance(curves["axial_strain"], np.ndarray)
    np.testing.assert_allclose(curves["axial_strain"], [0.0, 0.01, 0.02])
    np.testing.assert_allclose(curves["excess_pore_pressure"], [0.0, 30.0, 50.0])
    assert list(test["phase"]) == [1, 1, 1]


AGS = ('"GROUP","CONS"\r\n'
       '"HEADING","LOCA_ID","SPEC_REF","SPEC_DPTH","CONS_INCN","CONS_INCF","CONS_INCE"\r\n'
       '"UNIT","","","m","","kPa",""\r\n'
       '"TYPE","ID","X","2DP","X","2DP","3DP"\r\n'
       '"DATA","BH1","1","2.00","1","50","1.0"\r\n'
       '"DATA","BH1","1","2.00","2","100","0.9"\r\n'
       '"DATA","BH2","1","5.00","1","100","0.8"\r\n'
       '"DATA","BH2","1","5.00","2","200","0.7"\r\n')


def test_an_ags4_specimen_is_selected_by_dict_or_text(tmp_path):
    path = tmp_path / "site.ags"
    path.write_text(AGS)
    listing = soilcal.inspect(str(path))
    assert listing["test"] is None
    assert len(listing["entries"]) == 2
    by_text = soilcal.inspect(str(path), specimen="BH2:5:1")
    by_dict = soilcal.inspect(str(path), specimen={"location": "BH2", "depth": 5.0, "ref": 1})
    for record in (by_text, by_dict):
        strain = record["test"]["curves"]["axial_strain"]
        # (e1 - e)/(1 + e1) with e1 = 0.8.
        assert strain[1] == pytest.approx(0.1 / 1.8, rel=1e-12)
        assert record["test"]["initial_vertical_stress"] == 100.0


def test_a_refused_file_raises_value_error_with_the_readers_sentence(tmp_path):
    path = tmp_path / "site.ags"
    path.write_text(AGS)
    with pytest.raises(ValueError, match="has no specimen BH9"):
        soilcal.inspect(str(path), specimen="BH9")
    with pytest.raises(FileNotFoundError):
        soilcal.inspect(str(tmp_path / "missing.gds"))


CYCLIC = ('"GROUP","CTRC"\n'
          '"HEADING","LOCA_ID","SPEC_REF","SPEC_DPTH","CTRC_CELL","CTRC_PWP"\n'
          '"UNIT","","","m","kPa","kPa"\n'
          '"TYPE","ID","X","2DP","1DP","1DP"\n'
          '"DATA","BH1","1","5.00","400","300"\n'
          '"GROUP","CTRD"\n'
          '"HEADING","LOCA_ID","SPEC_REF","SPEC_DPTH","CTRD_CYCN","CTRD_DEVS","CTRD_PWP","CTRD_AXST"\n'
          '"UNIT","","","m","","kPa","kPa","%"\n'
          '"TYPE","ID","X","2DP","X","1DP","1DP","2DP"\n')


def test_a_cyclic_ags4_test_gives_r_u_and_strain_against_the_cycles(tmp_path):
    # Once per cycle: the deviator peak and the pore pressure over the back
    # pressure of CTRC (300 kPa), sigma'3c = 400 - 300 kPa.
    rows = "".join('"DATA","BH1","1","5.00","%d","25","%g","%g"\n' % (n, 300 + 10 * n, 0.1 * n)
                   for n in range(1, 6))
    path = tmp_path / "cyclic.ags"
    path.write_text(CYCLIC + rows)
    test = soilcal.inspect(str(path), group="CTRD", need_test=True)["test"]
    assert test["kind"] == "cyclic_triaxial" and test["undrained"]
    assert test["cell_pressure"] == pytest.approx(100.0)
    assert test["amplitude"] == pytest.approx(25.0)
    assert test["cycles"] == 5
    curves = test["curves"]
    np.testing.assert_allclose(curves["cycles"], [1, 2, 3, 4, 5])
    np.testing.assert_allclose(curves["excess_pore_pressure_ratio"], [0.1, 0.2, 0.3, 0.4, 0.5])
    np.testing.assert_allclose(curves["axial_strain"], [0.001, 0.002, 0.003, 0.004, 0.005])
    assert list(test["phase"]) == [3, 5, 7, 9, 11]
