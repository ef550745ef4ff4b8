#include "services/sgerg88.h"

#include <cmath>
#include <cstddef>

namespace services {
namespace {

constexpr double kAirDensity = 1.292923;       // kg/m3 at 0 degC, 1.01325 bar
constexpr double kIdealMolarVolume = 22.4141;  // dm3/mol at normal conditions
constexpr double kNormalTemperature = 273.15;  // K
constexpr double kNormalPressure = 1.01325;    // bar
constexpr double kGasConstant = 0.0831451;     // bar dm3 / (mol K)
constexpr double kHeatH2 = 285.83;             // kJ/mol
constexpr double kHeatCO = 282.98;             // kJ/mol
constexpr double kCOPerH2 = 0.0964;            // CO fraction per H2 fraction

// Iteration bounds. The composition shares one budget of H updates between its
// two loops; the outer loop gets its own bound because it can repeat without
// updating H once the density test holds.
constexpr int kMaxUpdates = 150;
constexpr int kMaxRounds = 150;

constexpr std::array<double, 14> kCheckPressuresKPa = {100,  320,  650,  1100, 1650, 2300, 3050,
                                                       3850, 4700, 5650, 6700, 7900, 9600, 12000};
constexpr std::array<double, 18> kCheckTemperaturesK = {
    263, 267, 271, 275, 279, 283, 287, 291, 295, 299, 303, 307, 311, 315, 320, 325, 330, 335};

bool Finite(double v) {
  return std::isfinite(v);
}

double Poly(std::size_t k, double T) {
  return SgergCoefficients.at(k) + SgergCoefficients.at(k + 1) * T +
         SgergCoefficients.at(k + 2) * T * T;
}

// Roots of negative radicands have no real value here: report them instead of
// continuing with a NaN.
std::optional<double> SquareRoot(double v) {
  if (!(v >= 0) || !Finite(v)) return std::nullopt;
  return std::sqrt(v);
}

std::optional<double> CubeRoot(double v) {
  if (!(v >= 0) || !Finite(v)) return std::nullopt;
  return std::cbrt(v);
}

std::optional<double> FiniteOrEmpty(double v) {
  if (!Finite(v)) return std::nullopt;
  return v;
}

// The method itself; empty when it cannot be evaluated. Range faults go to code.
std::optional<double> EvaluateCompressionFactor(double h2, double co2, double d, double Hs,
                                                double t, double p, GasErrorCode& code,
                                                TGasMixture& mixture) {
  mixture = TGasMixture{};
  mixture.xH2 = h2;
  mixture.xCO2 = co2;
  mixture.xCO = kCOPerH2 * h2;
  for (double v : {h2, co2, d, Hs, t, p}) {
    if (!Finite(v)) return std::nullopt;
  }

  double H = 1000;
  double B = -0.065;
  const double rhoN = d * kAirDensity;
  double A = 1 / (B + kIdealMolarVolume);
  int n = 0;
  bool converged = false;
  for (int round = 0; round < kMaxRounds && !converged; ++round) {
    double rho = CalcNormalDensity(H, Hs, A, h2, co2, mixture);
    if (!Finite(rho)) return std::nullopt;
    while (std::abs(rhoN - rho) > 1e-6) {
      TGasMixture probe;
      const double slope = CalcNormalDensity(H + 1, Hs, A, h2, co2, probe) - rho;
      // A flat or non-finite slope means the density no longer depends on H
      // (e.g. calorific value 0): the step would be infinite.
      if (slope == 0 || !Finite(slope)) return std::nullopt;
      H += (rhoN - rho) / slope;
      if (!Finite(H)) return std::nullopt;
      if (++n > kMaxUpdates) return std::nullopt;
      rho = CalcNormalDensity(H, Hs, A, h2, co2, mixture);
      if (!Finite(rho)) return std::nullopt;
    }
    if (rho <= 0.711 + 0.517 * mixture.xN2 + 1.255 * mixture.xCO2 - 0.581 * mixture.xH2) {
      code.Report(kGasNormalDensityTooLow);
    }
    const std::optional<double> Bn = CalcSecondVirial(mixture, kNormalTemperature);
    if (!Bn) return std::nullopt;
    B = *Bn;
    A = 1 / (B + kIdealMolarVolume);
    if (!Finite(A)) return std::nullopt;
    converged =
        std::abs(Hs - (mixture.xCH * H * A + A * (kHeatH2 * mixture.xH2 + kHeatCO * mixture.xCO))) <
        1e-4;
  }
  if (!converged) return std::nullopt;

  const double T = t + kNormalTemperature;
  const std::optional<double> Bt = CalcSecondVirial(mixture, T);
  const std::optional<double> Ct = CalcThirdVirial(mixture, T);
  if (!Bt || !Ct) return std::nullopt;
  return SolveVirialEquation(*Bt, *Ct, T, p);
}

}  // namespace

double CalcNormalDensity(double H, double Hs, double A, double xH2, double xCO2,
                         TGasMixture& mixture) {
  const double xCO = kCOPerH2 * xH2;
  mixture.H = H;
  mixture.xH2 = xH2;
  mixture.xCO2 = xCO2;
  mixture.xCO = xCO;
  mixture.MCH = 0.021062199 * H - 2.709328;
  mixture.xCH = Hs / (A * H) - (kHeatH2 * xH2 + kHeatCO * xCO) / H;
  mixture.xN2 = 1 - mixture.xCH - xCO2 - xH2 - xCO;
  return A * (mixture.xCH * mixture.MCH + 28.0135 * mixture.xN2 + 44.01 * xCO2) +
         A * (2.0159 * xH2 + 28.01 * xCO);
}

std::optional<double> CalcSecondVirial(const TGasMixture& m, double T) {
  const double H = m.H;
  const double B11 = Poly(0, T) + Poly(3, T) * H + Poly(6, T) * H * H;
  const double B14 = Poly(9, T);
  const double B15 = Poly(12, T);
  const double B22 = Poly(15, T);
  const double B23 = Poly(18, T);
  const double B33 = Poly(21, T);
  const double B44 = Poly(24, T);
  const double B55 = Poly(27, T);
  const double B12 = (0.72 + 1.875E-5 * (320 - T) * (320 - T)) * (B11 + B22) / 2;
  const std::optional<double> root13 = SquareRoot(B11 * B33);
  if (!root13) return std::nullopt;
  const double B13 = -0.865 * *root13;
  const double B24 = 0.012;

  const double x1 = m.xCH, x2 = m.xN2, x3 = m.xCO2, x4 = m.xH2, x5 = m.xCO;
  return FiniteOrEmpty(x1 * x1 * B11 + 2 * x1 * x2 * B12 + 2 * x1 * x3 * B13 + 2 * x1 * x4 * B14 +
                       2 * x1 * x5 * B15 + x2 * x2 * B22 + 2 * x2 * x3 * B23 + 2 * x2 * x4 * B24 +
                       x3 * x3 * B33 + x4 * x4 * B44 + x5 * x5 * B55);
}

std::optional<double> CalcThirdVirial(const TGasMixture& m, double T) {
  const double H = m.H;
  const double C111 = Poly(30, T) + Poly(33, T) * H + Poly(36, T) * H * H;
  const double C222 = Poly(39, T);
  const double C223 = Poly(42, T);
  const double C233 = Poly(45, T);
  const double C333 = Poly(48, T);
  const double C444 = Poly(51, T);
  const double C115 = Poly(54, T);

  const std::optional<double> r112 = CubeRoot(C111 * C111 * C222);
  const std::optional<double> r122 = CubeRoot(C111 * C222 * C222);
  const std::optional<double> r113 = CubeRoot(C111 * C111 * C333);
  const std::optional<double> r133 = CubeRoot(C111 * C333 * C333);
  const std::optional<double> r114 = CubeRoot(C111 * C111 * C444);
  const std::optional<double> r123 = CubeRoot(C111 * C222 * C333);
  if (!r112 || !r122 || !r113 || !r133 || !r114 || !r123) return std::nullopt;
  const double f12 = 0.92 + 0.0013 * (T - 270);
  const double C112 = *r112 * f12;
  const double C122 = *r122 * f12;
  const double C113 = *r113 * 0.92;
  const double C133 = *r133 * 0.92;
  const double C114 = *r114 * 1.2;
  const double C123 = *r123 * 1.1;

  const double x1 = m.xCH, x2 = m.xN2, x3 = m.xCO2, x4 = m.xH2, x5 = m.xCO;
  return FiniteOrEmpty(x1 * x1 * x1 * C111 + 3 * x1 * x1 * x2 * C112 + 3 * x1 * x1 * x3 * C113 +
                       3 * x1 * x1 * x4 * C114 + 3 * x1 * x1 * x5 * C115 + 3 * x1 * x2 * x2 * C122 +
                       6 * x1 * x2 * x3 * C123 + 3 * x1 * x3 * x3 * C133 + x2 * x2 * x2 * C222 +
                       3 * x2 * x2 * x3 * C223 + 3 * x2 * x3 * x3 * C233 + x3 * x3 * x3 * C333 +
                       x4 * x4 * x4 * C444);
}

std::optional<double> SolveVirialEquation(double B, double C, double T, double p) {
  const double RT = kGasConstant * T;
  double V = RT / p + B;
  double Z = 1;
  for (int round = 0; round <= kMaxRounds; ++round) {
    V = (RT / p) * (1 + B / V + C / (V * V));
    Z = 1 + B / V + C / (V * V);
    if (!Finite(Z)) return std::nullopt;
    if (std::abs(RT * Z / V - p) < 1e-5) return Z;
  }
  // Dense, rich gases near the edge of the method's range settle slowly; the last
  // value is used. The check codes come from the composition, not from Z, so a slow
  // solve is no reason to call the composition unknown.
  return Z;
}

double CalcCompressionFactor(double h2, double co2, double d, double Hs, double t, double p,
                             GasErrorCode& code, TGasMixture* mixture) {
  TGasMixture m;
  const std::optional<double> Z = EvaluateCompressionFactor(h2, co2, d, Hs, t, p, code, m);
  if (mixture != nullptr) *mixture = m;
  if (!Z) {
    code.Report(kGasNotEvaluated);
    return 0;
  }
  return *Z;
}

double CalcCompressibilityRatio(double h2, double co2, double rhoN, double Hs, double t, double p,
                                GasErrorCode& code) {
  const double xCO2 = co2 / 100;
  const double xH2 = h2 / 100;
  const double d = rhoN / kAirDensity;
  if (d <= 0.55 + 0.97 * xCO2 - 0.45 * xH2) code.Report(kGasRelDensityTooLow);
  const double HsMJ = Hs * 3.6;

  TGasMixture m;
  if (!EvaluateCompressionFactor(xH2, xCO2, d, HsMJ, 0, kNormalPressure, code, m)) {
    code.Report(kGasNotEvaluated);
    return 0;
  }
  if (m.xN2 < -0.01 || m.xN2 > 0.5) code.Report(kGasNitrogenOutOfRange);
  if (m.xN2 + xCO2 > 0.5) code.Report(kGasInertsTooHigh);

  const double HsAdjusted = HsMJ + 0.013 * (0.95 - m.xN2 - xCO2 - xH2);
  const std::optional<double> Zn =
      EvaluateCompressionFactor(xH2, xCO2, d, HsAdjusted, 0, kNormalPressure, code, m);
  const std::optional<double> Z =
      EvaluateCompressionFactor(xH2, xCO2, d, HsAdjusted, t, p, code, m);
  if (!Zn || !Z || *Zn == 0 || !Finite(*Z / *Zn)) {
    code.Report(kGasNotEvaluated);
    return 0;
  }
  return *Z / *Zn;
}

double CalcOperatingDensity(double h2, double co2, double rhoN, double Hs, double t, double p,
                            GasErrorCode& code) {
  const double r = CalcCompressibilityRatio(h2, co2, rhoN, Hs, t, p, code);
  if (r == 0) {
    code.Report(kGasNotEvaluated);
    return 0;
  }
  const double rhoNormal = rhoN / kAirDensity * kAirDensity;
  const double rho =
      p * rhoNormal * kNormalTemperature / ((t + kNormalTemperature) * kNormalPressure * r);
  if (!Finite(rho)) {
    code.Report(kGasNotEvaluated);
    return 0;
  }
  return rho;
}

char CheckGasParameters(double Hs, double rhoN, double co2, double h2) {
  GasErrorCode code;
  for (double pKPa : kCheckPressuresKPa) {
    for (double TK : kCheckTemperaturesK) {
      CalcOperatingDensity(h2, co2, rhoN, Hs, TK - 273, pKPa / 100, code);
    }
  }
  return code.Value();
}

}  // namespace services
