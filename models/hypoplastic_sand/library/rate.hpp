// The rate equations of hypoplastic sand: von Wolffersdorff (1996) with the
// Matsuoka-Nakai critical state surface, the pressure-dependent limit void
// ratios of Bauer (1996), and the intergranular strain of Niemunis and
// Herle (1997). Stresses and strain rates are tension positive, as the
// program hands them over: the equations hold in that convention as the
// papers write them, with T/tr T positive in compression.
#pragma once

#include "parameters.hpp"
#include "tensor.hpp"

namespace hypoplastic {

// What a point carries: effective stress, void ratio, intergranular strain.
struct State {
  Sym T = Sym::Zero();
  double e = 0.0;
  Sym delta = Sym::Zero();
};

// Rates of the state for the strain rate D (tensor components).
struct Rates {
  Sym T = Sym::Zero();
  double e = 0.0;
  Sym delta = Sym::Zero();
};

// Void ratios of the compression law at mean pressure p (Bauer 1996; von
// Wolffersdorff 1996): e_i0, e_c0, e_d0 times exp(-(3p/hs)^n).
struct LimitVoidRatios {
  double ei = 0.0, ec = 0.0, ed = 0.0;
};
LimitVoidRatios LimitsAt(const Parameters& p, double meanPressure);

// Smallest mean pressure (shifted by p_t) the equations accept: below it
// T/tr T has no meaning and the stiffness vanishes.
double MinimumPressure(const Parameters& p);

// The hypoplastic tensors at a state: T:D-linear part L and the nonlinear
// part N (with f_d), such that without intergranular strain the stress rate
// is L:D + N ||D|| (the stress rate of von Wolffersdorff 1996).
struct Tensors {
  Mat L = Mat::Zero();
  Sym N = Sym::Zero();
};
// False when the shifted mean pressure lies below MinimumPressure.
bool HypoplasticTensors(const Parameters& p, const State& s, Tensors* out);

// Intergranular strain at the start for the start stress T: that of a sand
// compressed along T, rho0 R in the direction of T - p_t 1 (compression
// negative); zero without intergranular strain.
Sym StartIntergranularStrain(const Parameters& p, const Sym& T);

// Rates for the strain rate D; false when the state lies outside the
// equations' domain (mean pressure too small, void ratio not positive).
bool RatesAt(const Parameters& p, const State& s, const Sym& D, Rates* out);

// Tangent of the stress rate with respect to D in the direction `D` (the
// stress rate is homogeneous of degree one in D, so this matrix K gives
// K:D = the stress rate): L + N (x) D/||D|| without intergranular strain, the
// matrix M of Niemunis and Herle (1997) with it. For D = 0 the
// stiffness of a reversal (L, times mR with intergranular strain).
bool TangentAt(const Parameters& p, const State& s, const Sym& D, Mat* K);

}  // namespace hypoplastic
