// SGERG-88 compression factor of natural gas (ISO 12213-3) and the plausibility
// check of the gas values (calorific value, normal density, CO2, H2) built on it.
//
// Everything is pure arithmetic on its arguments; the only state is the result
// code of one check, which the caller owns and passes in.
#pragma once

#include <array>
#include <optional>

namespace services {

// Result codes of the gas check.
inline constexpr char kGasValid = '0';
inline constexpr char kGasNotEvaluated = '1';         // the method gave no usable result
inline constexpr char kGasRelDensityTooLow = '2';     // for the CO2 and H2 content
inline constexpr char kGasNitrogenOutOfRange = '3';   // outside -0.01 .. 0.5
inline constexpr char kGasInertsTooHigh = '4';        // N2 + CO2 above 0.5
inline constexpr char kGasNormalDensityTooLow = '5';  // for the composition

// Code of the current check: keeps the first fault reported, '0' while there is none.
class GasErrorCode {
 public:
  char Value() const { return code_; }
  void Report(char code) {
    if (code_ == kGasValid) code_ = code;
  }

 private:
  char code_ = kGasValid;
};

// Composition of one evaluation, as molar fractions.
struct TGasMixture {
  double xCH = 0;  // hydrocarbon pseudo-component
  double xN2 = 0;
  double xCO2 = 0;
  double xH2 = 0;
  double xCO = 0;
  double H = 0;    // molar heating value of the hydrocarbons, kJ/mol
  double MCH = 0;  // molar mass of the hydrocarbons, g/mol
};

// Nineteen temperature polynomials c(k) + c(k+1) T + c(k+2) T^2 (T in K), in the
// order of the method's table: B11 (constant, H, H^2 terms), B14, B15, B22, B23,
// B33, B44, B55, C111 (constant, H, H^2 terms), C222, C223, C233, C333, C444, C115.
// clang-format off
inline constexpr std::array<double, 57> SgergCoefficients = {
    -0.425468,    2.865E-3,     -4.62073E-6,   // B11
    8.77118E-4,   -5.56281E-6,  8.81510E-9,    // B11 * H
    -8.24747E-7,  4.31436E-9,   -6.08319E-12,  // B11 * H^2
    -5.21280E-2,  2.71570E-4,   -2.5E-7,       // B14
    -6.87290E-2,  -2.39381E-6,  5.18195E-7,    // B15
    -0.144600,    7.40910E-4,   -9.11950E-7,   // B22
    -0.339693,    1.61176E-3,   -2.04429E-6,   // B23
    -0.868340,    4.03760E-3,   -5.16570E-6,   // B33
    -1.10596E-3,  8.13385E-5,   -9.87220E-8,   // B44
    -0.130820,    6.02540E-4,   -6.44300E-7,   // B55
    -0.302488,    1.95861E-3,   -3.16302E-6,   // C111
    6.46422E-4,   -4.22876E-6,  6.88157E-9,    // C111 * H
    -3.32805E-7,  2.23160E-9,   -3.67713E-12,  // C111 * H^2
    7.84980E-3,   -3.98950E-5,  6.11870E-8,    // C222
    5.52066E-3,   -1.68609E-5,  1.57169E-8,    // C223
    3.58783E-3,   8.06674E-6,   -3.25798E-8,   // C233
    2.05130E-3,   3.48880E-5,   -8.37030E-8,   // C333
    1.04711E-3,   -3.64887E-6,  4.67095E-9,    // C444
    7.36748E-3,   -2.76578E-5,  3.43051E-8,    // C115
};
// clang-format on

// Runs the method over the check grid (14 pressures x 18 temperatures) and returns
// the code of the first fault found, '0' when the values are valid.
// Hs: kWh/m3, rhoN: kg/m3, co2 and h2: mol%.
char CheckGasParameters(double Hs, double rhoN, double co2, double h2);

// Density at t (degC) and p (bar absolute), kg/m3; h2, co2 in mol%, rhoN in kg/m3,
// Hs in kWh/m3. 0 with code '1' when the gas cannot be evaluated.
double CalcOperatingDensity(double h2, double co2, double rhoN, double Hs, double t, double p,
                            GasErrorCode& code);

// Z / Zn with the calorific value adjusted for the inert content; inputs as
// CalcOperatingDensity. 0 with code '1' when the gas cannot be evaluated.
double CalcCompressibilityRatio(double h2, double co2, double rhoN, double Hs, double t, double p,
                                GasErrorCode& code);

// Compression factor Z of the method: h2, co2 as fractions, d relative density,
// Hs in MJ/m3, t in degC, p in bar absolute. Reports '5' when the normal density is
// too low for the composition; returns 0 with code '1' when the composition does
// not converge or a value is not finite. The composition found goes to *mixture.
double CalcCompressionFactor(double h2, double co2, double d, double Hs, double t, double p,
                             GasErrorCode& code, TGasMixture* mixture = nullptr);

// Normal density (kg/m3) of the mixture whose hydrocarbons have molar heating
// value H, at molar density A (mol/dm3) and calorific value Hs (MJ/m3); the
// composition goes to mixture.
double CalcNormalDensity(double H, double Hs, double A, double xH2, double xCO2,
                         TGasMixture& mixture);

// Second (dm3/mol) and third (dm6/mol2) virial coefficients of the mixture at T (K);
// empty when a root of a negative product would be needed or a value is not finite.
std::optional<double> CalcSecondVirial(const TGasMixture& mixture, double T);
std::optional<double> CalcThirdVirial(const TGasMixture& mixture, double T);

// Z from the virial equation at T (K) and p (bar) by successive substitution; after
// 150 rounds without settling the last value stands. Empty when Z is not finite.
std::optional<double> SolveVirialEquation(double B, double C, double T, double p);

}  // namespace services
