// Prints the coefficients of the filter designs for filter_designs_test.py,
// one request per input line:
//   lphp DESIGN HIGHPASS SECTIONS CUTOFF_OVER_RATE STOPBAND_DB
//   band KIND F_OVER_RATE LINEAR_GAIN WIDTH_OCTAVES      (KIND 1, 2 or 3)
//   geq RATE G0 .. G9                                   (gains in dB)
//   weighting LETTER RATE
// answering each with "filter COUNT GAIN ORDER" and COUNT lines
// "b0 b1 b2 a1 a2", or "error CODE". ORDER is the elliptic order used (else 0).
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "dsp/filters/equaliser.h"
#include "dsp/filters/lowpass_highpass.h"
#include "dsp/filters/weighting.h"

namespace {

using tidemark::Error;
using tidemark::NS_EFFECT::SBiQuadFilter;

void Print(Error rc, const SBiQuadFilter& f, int order) {
  if (rc) {
    std::printf("error %d\n", static_cast<int>(rc.code()));
    return;
  }
  std::printf("filter %d %.17g %d\n", f.count, f.gain, order);
  for (int s = 0; s < f.count; ++s) {
    const auto& c = f.sections[s];
    std::printf("%.17g %.17g %.17g %.17g %.17g\n", c.b0, c.b1, c.b2, c.a1, c.a2);
  }
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string what;
    in >> what;
    SBiQuadFilter f;
    if (what == "lphp") {
      int design = 0, highpass = 0;
      tidemark::dsp::LowpassHighpassParams p;
      in >> design >> highpass >> p.sections >> p.cutoff >> p.stopband_db;
      p.design = static_cast<tidemark::dsp::FilterDesign>(design);
      p.highpass = highpass != 0;
      const Error rc = tidemark::dsp::DesignLowpassHighpass(p, &f);
      const bool elliptic = p.design == tidemark::dsp::FilterDesign::kElliptic;
      Print(rc, f, elliptic ? tidemark::dsp::EllipticOrder(p.sections, p.stopband_db) : 0);
    } else if (what == "band") {
      int kind = 0;
      double f_over_rate = 0, gain = 1, width = 1;
      in >> kind >> f_over_rate >> gain >> width;
      tidemark::NS_EFFECT::SBiQuadSection s;
      const Error rc = tidemark::dsp::DesignEqBand(static_cast<tidemark::dsp::EqBand>(kind), f_over_rate, gain, width, &s);
      f.count = 1;
      f.sections[0] = s;
      Print(rc, f, 0);
    } else if (what == "geq") {
      double rate = 0;
      double gains[tidemark::dsp::kGraphicEqBands] = {};
      in >> rate;
      for (double& g : gains) in >> g;
      Print(tidemark::dsp::DesignGraphicEq(gains, rate, &f), f, 0);
    } else if (what == "weighting") {
      char letter = 0;
      double rate = 0;
      in >> letter >> rate;
      Print(tidemark::dsp::DesignWeighting(letter, rate, &f), f, 0);
    } else {
      std::printf("error unknown\n");
    }
    std::fflush(stdout);
  }
  return 0;
}
