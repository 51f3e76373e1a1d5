// Arbitrary bytes as a user filter description: every input either reads
// to finite coefficients normalised by B0 with the order of its highest
// nonzero coefficient, or gives an error whose line lies inside the text;
// what reads becomes a stable lattice (every |k| < 1) or is refused as
// unstable.
// Deep nesting must end in the depth limit, not a stack overflow (the
// sanitizers and libFuzzer's -timeout watch the time).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "dsp/filters/iir_description.h"

using namespace tidemark::dsp;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  IirCoefficients c;
  const IirDescResult r = ParseIirDescription(text, 44100.0, &c);
  if (!r.ok()) {
    const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    Check(r.line >= 0 && r.line <= lines);
    Check(r.error != IirDescError::kUnstable && r.error != IirDescError::kOrderAbove99);
    return 0;
  }
  Check(c.b[0] == 1.0 && c.order >= 0 && c.order <= kIirMaxOrder);
  for (std::size_t k = 0; k <= kIirMaxOrder; ++k) {
    Check(std::isfinite(c.a[k]) && std::isfinite(c.b[k]));
    if (static_cast<int>(k) > c.order) Check(c.a[k] == 0.0 && c.b[k] == 0.0);
  }
  Check(c.a[static_cast<std::size_t>(c.order)] != 0.0 || c.b[static_cast<std::size_t>(c.order)] != 0.0 ||
        c.order == 0);

  tidemark::NS_EFFECT::SLatticeIIR lattice;
  const IirDescResult l = DescriptionToLattice(text, 44100.0, &lattice);
  if (!l.ok()) {
    Check(l.error == IirDescError::kUnstable);
    return 0;
  }
  Check(lattice.order == c.order);
  for (int i = 1; i <= lattice.order; ++i) Check(std::fabs(lattice.k[i]) < 1.0);
  for (int i = 0; i <= lattice.order; ++i) Check(std::isfinite(lattice.c[i]));
  return 0;
}
