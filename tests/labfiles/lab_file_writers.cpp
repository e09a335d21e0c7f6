#include "labfiles/lab_file_writers.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace soilcal::testing {
namespace {

double Sin(double degrees) { return std::sin(degrees * std::numbers::pi / 180.0); }
double FlowN(double degrees) { return (1.0 + Sin(degrees)) / (1.0 - Sin(degrees)); }
double Failure(const McSoil& s, double sigma3) {
  const double n = FlowN(s.phi);
  return sigma3 * (n - 1.0) + 2.0 * s.c * std::sqrt(n);
}

std::string Num(double v, bool comma) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.12g", v);
  std::string s = buffer;
  if (comma) std::replace(s.begin(), s.end(), '.', ',');
  return s;
}

}  // namespace

std::vector<TriaxialReading> DrainedTriaxial(const McSoil& s, double sigma3, double eaMax,
                                             int readings) {
  const double e = 2.0 * s.G * (1.0 + s.nu);
  const double qf = Failure(s, sigma3);
  const double eaY = qf / e;
  const double dilation = -2.0 * Sin(s.psi) / (1.0 - Sin(s.psi));
  std::vector<TriaxialReading> out;
  for (int i = 0; i <= readings; ++i) {
    TriaxialReading r;
    r.ea = eaMax * i / readings;
    r.q = std::min(e * r.ea, qf);
    r.ev = (1.0 - 2.0 * s.nu) * std::min(r.ea, eaY) + dilation * std::max(0.0, r.ea - eaY);
    out.push_back(r);
  }
  return out;
}

std::vector<TriaxialReading> UndrainedTriaxial(const McSoil& s, double sigma3, double eaMax,
                                               int readings, double nuU) {
  const double k = 2.0 * s.G * (1.0 + s.nu) / (3.0 * (1.0 - 2.0 * s.nu));
  const double ku = 2.0 * s.G * (1.0 + nuU) / (3.0 * (1.0 - 2.0 * nuU));
  const double a = (1.0 - k / ku) / 3.0;
  const double n = FlowN(s.phi);
  const double qf = (sigma3 * (n - 1.0) + 2.0 * s.c * std::sqrt(n)) / (1.0 + a * (n - 1.0));
  const double eu = 2.0 * s.G * (1.0 + nuU);
  std::vector<TriaxialReading> out;
  for (int i = 0; i <= readings; ++i) {
    TriaxialReading r;
    r.ea = eaMax * i / readings;
    r.q = std::min(eu * r.ea, qf);
    r.du = a * r.q;
    out.push_back(r);
  }
  return out;
}

double ShearStartVolume(const GdsVariant& v) {
  // The saturation stage takes in 200 mm³ (see GdsFile).
  return std::numbers::pi / 4.0 * v.diameter * v.diameter * v.height + 200.0 +
         v.consolidationVolume;
}

std::string GdsFile(const std::vector<TriaxialReading>& shear, bool undrained, double sigma3,
                    const GdsVariant& v) {
  const bool comma = v.decimalComma;
  const std::string cube = v.latin1 ? "mm\xB3" : "mm\xC2\xB3";
  const std::string nl = v.crlf ? "\r\n" : "\n";
  std::string out = v.bom ? "\xEF\xBB\xBF" : "";
  const auto q = [](const std::string& s) { return "\"" + s + "\""; };
  const auto kv = [&](const std::string& k, const std::string& value) {
    out += q(k) + "," + q(value) + nl;
  };
  kv("Test Name", "CU1 soft clay");
  kv("Initial Height (mm)", Num(v.height, comma));
  kv("Initial Diameter (mm)", Num(v.diameter, comma));
  kv("Specimen Temperature (\xC2\xB0""C)", "20");
  const std::vector<std::string> columns{
      "Stage Number", "Time since start of test (s)", "Radial Pressure (kPa)",
      "Back Pressure (kPa)", "Back Volume (" + cube + ")", "Load Cell (kN)",
      "Pore Pressure (kPa)", "Axial Displacement (mm)", "Axial Strain (%)",
      "Deviator Stress (kPa)", "Eff. Radial Stress (kPa)", "Eff. Axial Stress (kPa)",
      "Volume Change (" + cube + ")", "Voids ratio"};
  std::vector<std::string> used;
  for (const std::string& c : columns) {
    if (!v.strainColumn && c == "Axial Strain (%)") continue;
    used.push_back(c);
  }
  kv("Start of Repeated Data", std::to_string(used.size()));
  for (std::size_t i = 0; i < used.size(); ++i) out += (i ? "," : "") + q(used[i]);
  out += nl;
  double time = 0.0;
  const double hShear = v.height * (1.0 - v.consolidationStrain);
  const double vShear = ShearStartVolume(v);
  // One reading; strains and volumes relative to the stage's start.
  const auto row = [&](int stage, double radial, double back, double pore, double dv,
                       double displacement, double strain, double deviator, double load) {
    time += 60.0;
    const double effR = radial - pore;
    std::vector<std::pair<std::string, double>> cells{
        {"Stage Number", stage}, {"Time since start of test (s)", time},
        {"Radial Pressure (kPa)", radial}, {"Back Pressure (kPa)", back},
        {"Back Volume (" + cube + ")", dv}, {"Load Cell (kN)", load},
        {"Pore Pressure (kPa)", pore}, {"Axial Displacement (mm)", displacement},
        {"Axial Strain (%)", 100.0 * strain},
        {"Deviator Stress (kPa)", v.derivedZero ? 0.0 : deviator},
        {"Eff. Radial Stress (kPa)", v.derivedZero ? 0.0 : effR},
        {"Eff. Axial Stress (kPa)", v.derivedZero ? 0.0 : effR + deviator},
        {"Volume Change (" + cube + ")", dv}, {"Voids ratio", 0.0}};
    bool first = true;
    for (const auto& [name, value] : cells) {
      if (std::find(used.begin(), used.end(), name) == used.end()) continue;
      out += (first ? "" : ",") + q(Num(value, comma));
      first = false;
    }
    out += ",\"\"" + nl;  // a trailing empty cell, as exports have
  };
  const double b = v.backPressure;
  // 1 saturation: cell and back pressure ramped together, 10 kPa apart.
  for (int i = 0; i <= 4; ++i) row(1, 20 + i * (b - 10) / 4.0, 10 + i * (b - 10) / 4.0, 10 + i * (b - 10) / 4.0, 50.0 * i, 0, 0, 0, 0);
  // 2 B check: drainage closed, the cell raised by 50 kPa.
  for (int i = 0; i <= 3; ++i) row(2, b + 10 + 50.0 * i / 3, b, b + 48.0 * i / 3, 0, 0, 0, 0, 0);
  // 3 consolidation to σ′3: water leaves.
  for (int i = 0; i <= 6; ++i) {
    const double f = i / 6.0;
    row(3, b + sigma3, b, b, f * v.consolidationVolume, f * v.consolidationStrain * v.height,
        f * v.consolidationStrain, 0, 0);
  }
  // 4 a hold at σ′3 without strain.
  for (int i = 0; i <= 2; ++i) row(4, b + sigma3, b, b, 0, 0, 0, 0, 0);
  // 5 shear.
  for (const TriaxialReading& r : shear) {
    const double dv = undrained ? 0.0 : -r.ev * vShear;
    const double pore = b + (undrained ? r.du : 0.0);
    const double area = (vShear + dv) / (hShear * (1.0 - r.ea));
    row(5, b + sigma3, b, pore, dv, r.ea * hShear, r.ea, r.q, r.q * area * 1e-6);
  }
  if (v.latin1) {
    // The degree sign of the header as Windows-1252 writes it.
    const std::size_t at = out.find("\xC2\xB0");
    if (at != std::string::npos) out.replace(at, 2, "\xB0");
  }
  return out;
}

OedometerSpecimen NormalCompression(const std::string& location, double depth,
                                    const std::string& ref, double lambdaStar, double kappaStar,
                                    double e1, const std::vector<double>& loading,
                                    const std::vector<double>& unloading) {
  OedometerSpecimen s;
  s.location = location, s.ref = ref, s.depth = depth;
  s.e0 = e1 + 0.02;
  const double s1 = loading.front();
  for (double sigma : loading) {
    s.stress.push_back(sigma);
    s.voids.push_back(e1 - (1.0 + e1) * lambdaStar * std::log(sigma / s1));
  }
  const double smax = loading.back();
  const double emax = lambdaStar * std::log(smax / s1);
  for (double sigma : unloading) {
    s.stress.push_back(sigma);
    s.voids.push_back(e1 - (1.0 + e1) * (emax - kappaStar * std::log(smax / sigma)));
  }
  return s;
}

TriaxialFailure OnFailureLine(const std::string& location, double depth, const std::string& ref,
                              double c, double phiDegrees, double cell, double pore) {
  TriaxialFailure f;
  f.location = location, f.depth = depth, f.ref = ref, f.cell = cell, f.pore = pore;
  const double s3 = cell - pore;
  const double n = FlowN(phiDegrees);
  f.deviator = s3 * (n - 1.0) + 2.0 * c * std::sqrt(n);
  return f;
}

std::string Ags4File(const std::vector<OedometerSpecimen>& specimens,
                     const std::vector<TriaxialFailure>& failures, const std::string& stressUnit) {
  const double toUnit = stressUnit == "MPa" ? 0.001 : 1.0;
  std::string out = "\xEF\xBB\xBF";
  const auto line = [&](const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) out += (i ? ",\"" : "\"") + cells[i] + "\"";
    out += "\r\n";
  };
  const auto num = [](double v) { return Num(v, false); };
  line({"GROUP", "PROJ"});
  line({"HEADING", "PROJ_ID", "PROJ_NAME"});
  line({"UNIT", "", ""});
  line({"TYPE", "ID", "X"});
  line({"DATA", "P1", "Site investigation, \"north\" field"});
  out += "\r\n";
  line({"GROUP", "CONG"});
  line({"HEADING", "LOCA_ID", "SAMP_TOP", "SAMP_REF", "SAMP_TYPE", "SAMP_ID", "SPEC_REF",
        "SPEC_DPTH", "CONG_TYPE", "CONG_IVR", "CONG_REM"});
  line({"UNIT", "", "m", "", "", "", "", "m", "", "", ""});
  line({"TYPE", "ID", "2DP", "X", "PA", "ID", "X", "2DP", "PA", "2DP", "X"});
  for (const OedometerSpecimen& s : specimens) {
    line({"DATA", s.location, num(s.depth - 0.1), "S" + s.ref, "U", s.location + "-" + s.ref, s.ref,
          num(s.depth), "OED", num(s.e0), "trimmed\r\nby hand"});
  }
  out += "\r\n";
  line({"GROUP", "CONS"});
  line({"HEADING", "LOCA_ID", "SAMP_TOP", "SAMP_REF", "SAMP_TYPE", "SAMP_ID", "SPEC_REF",
        "SPEC_DPTH", "CONS_INCN", "CONS_IVR", "CONS_INCF", "CONS_INCE", "CONS_INMV"});
  line({"UNIT", "", "m", "", "", "", "", "m", "", "", stressUnit, "", "m2/MN"});
  line({"TYPE", "ID", "2DP", "X", "PA", "ID", "X", "2DP", "X", "3DP", "2DP", "3DP", "2DP"});
  for (const OedometerSpecimen& s : specimens) {
    double eStart = s.e0;
    for (std::size_t k = 0; k < s.stress.size(); ++k) {
      line({"DATA", s.location, num(s.depth - 0.1), "S" + s.ref, "U", s.location + "-" + s.ref,
            s.ref, num(s.depth), std::to_string(k + 1), num(eStart), num(s.stress[k] * toUnit),
            num(s.voids[k]), ""});
      eStart = s.voids[k];
    }
  }
  if (!failures.empty()) {
    out += "\r\n";
    line({"GROUP", "TRET"});
    line({"HEADING", "LOCA_ID", "SAMP_TOP", "SAMP_REF", "SAMP_TYPE", "SAMP_ID", "SPEC_REF",
          "SPEC_DPTH", "TRET_CELL", "TRET_PWPI", "TRET_DEVF", "TRET_PWPF", "TRET_STRN"});
    line({"UNIT", "", "m", "", "", "", "", "m", "kPa", "kPa", "kPa", "kPa", "%"});
    line({"TYPE", "ID", "2DP", "X", "PA", "ID", "X", "2DP", "0DP", "0DP", "1DP", "0DP", "1DP"});
    for (const TriaxialFailure& f : failures) {
      line({"DATA", f.location, num(f.depth - 0.1), "S" + f.ref, "U", f.location + "-" + f.ref,
            f.ref, num(f.depth), num(f.cell), num(f.pore - 20), num(f.deviator), num(f.pore),
            "5.0"});
    }
  }
  return out;
}

}  // namespace soilcal::testing
