// Jacobi elliptic functions by descending Landen transformations, in the
// normalised form of elliptic filter design: cd(uK, k) and sn(uK, k) for a
// real or complex u (K the complete integral of modulus k), their inverses,
// and the solution of the degree equation.
#pragma once

#include <complex>

namespace tidemark::dsp::filters_internal {

// cd(u K(k), k).
std::complex<double> Cde(std::complex<double> u, double k);
// sn(u K(k), k).
std::complex<double> Sne(std::complex<double> u, double k);
// The u with sn(u K(k), k) = w.
std::complex<double> Asne(std::complex<double> w, double k);
// The modulus k of an order-n elliptic filter whose modulus ratio
// eps_pass / eps_stop is k1 (the degree equation n K'(k1)/K(k1) = K'(k)/K(k)),
// given as its complement k' = sqrt(1 - k^2), which keeps its precision when
// k is near 1.
double EllipticComplementaryModulus(int n, double k1);

}  // namespace tidemark::dsp::filters_internal
