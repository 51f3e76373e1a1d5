#!/usr/bin/python3
"""The sample-rate converter measured by a tone sweep: full-scale tones up to
a fraction of the lower Nyquist frequency are converted by resample_tool,
and the middle of each output is analysed with a long FFT under a Kaiser
window (beta 38, side lobes far below anything measured here).

  - every image and alias product (anything outside the tone's main lobe)
    stays the required distance below the tone;
  - the tone's amplitude, fitted by least squares at its known frequency,
    stays within 0.05 dB of the input's (the pass band is flat).

At the default options: 120 dB, flat to 0.85 of the lower Nyquist
frequency; at the best quality (stopband 160 dB): 150 dB, flat to 0.95.
The worst figures are printed; bench/resample_bench.py measures `sox rate
-h` and `rate -v` the same way for comparison.

  resample_quality_test.py PATH_TO_resample_tool
"""
import os
import subprocess
import sys
import unittest

try:
    import numpy as np
except ImportError as e:  # a missing peer is never a pass
    print(f"peer missing: python3-numpy ({e})")
    required = os.environ.get("CI", "") not in ("", "false", "0") or os.environ.get("TIDEMARK_REQUIRE_PEERS") == "1"
    sys.exit(1 if required else 77)

TOOL = None
PAIRS = ((44100, 48000), (48000, 44100), (96000, 44100), (44100, 8000), (8000, 384000))
ANALYSIS = 1 << 15   # output frames analysed
MARGIN = 3000        # output frames skipped at each end
AMPLITUDE = 0.99
BETA = 38.0
LOBE = 24            # bins either side of the tone left out


def tone(n, frequency, rate):
    t = np.arange(n, dtype=np.float64)
    return (AMPLITUDE * np.sin(2 * np.pi * frequency * t / rate + 0.3)).astype(np.float32)


def convert(x, in_rate, out_rate, quality, stopband, precision):
    out = subprocess.run([TOOL, str(in_rate), str(out_rate), str(quality), str(stopband), str(precision)],
                         input=x.tobytes(), capture_output=True, check=True).stdout
    return np.frombuffer(out, dtype=np.float32).astype(np.float64)


def convert_sox(x, in_rate, out_rate, option):
    raw = ["-t", "raw", "-e", "floating-point", "-b", "32", "-c", "1"]
    out = subprocess.run(["sox", "-V1"] + raw + ["-r", str(in_rate), "-"] + raw + ["-r", str(out_rate), "-", "rate",
                         option], input=x.tobytes(), capture_output=True, check=True).stdout
    return np.frombuffer(out, dtype=np.float32).astype(np.float64)


def measure(y, frequency, rate):
    """(worst product below the tone in dB, tone gain in dB) of the middle of y."""
    seg = y[MARGIN:MARGIN + ANALYSIS]
    assert len(seg) == ANALYSIS, len(seg)
    w = np.kaiser(ANALYSIS, BETA)
    spectrum = np.abs(np.fft.rfft(seg * w))
    k = int(round(frequency / rate * ANALYSIS))
    peak = spectrum[max(0, k - 2):k + 3].max()
    rest = spectrum.copy()
    rest[max(0, k - LOBE):k + LOBE + 1] = 0
    products_db = 20 * np.log10(rest.max() / peak + 1e-300)
    t = np.arange(MARGIN, MARGIN + ANALYSIS, dtype=np.float64)
    basis = np.stack([np.sin(2 * np.pi * frequency * t / rate), np.cos(2 * np.pi * frequency * t / rate)], axis=1)
    coefficients, *_ = np.linalg.lstsq(basis, seg, rcond=None)
    gain_db = 20 * np.log10(np.hypot(*coefficients) / AMPLITUDE)
    return products_db, gain_db


def sweep(in_rate, out_rate, band, run):
    """Worst products and largest gain error over tones up to band x the lower Nyquist frequency."""
    nyquist = min(in_rate, out_rate) / 2
    n_in = int((ANALYSIS + 2 * MARGIN) * in_rate / out_rate) + 2
    worst, flat = -400.0, 0.0
    for fraction in np.linspace(0.013, band, 9):
        frequency = fraction * nyquist * 0.99991  # off every bin grid and rational point
        y = run(tone(n_in, frequency, in_rate))
        products, gain = measure(y, frequency, out_rate)
        worst, flat = max(worst, products), max(flat, abs(gain))
    return worst, flat


class ResampleQuality(unittest.TestCase):
    def check(self, quality, stopband, precision, band, needed_db):
        report = []
        for in_rate, out_rate in PAIRS:
            worst, flat = sweep(in_rate, out_rate, band,
                                lambda x: convert(x, in_rate, out_rate, quality, stopband, precision))
            report.append(f"{in_rate}->{out_rate}: products {worst:.1f} dB, pass band within {flat:.4f} dB "
                          f"to {band} Nyquist")
            self.assertLessEqual(worst, -needed_db, report[-1])
            self.assertLessEqual(flat, 0.05, report[-1])
        print(f"quality {quality}, stopband {stopband}:\n  " + "\n  ".join(report))

    def test_default_options(self):
        self.check(1, 120, 0, 0.85, 120)

    def test_best_quality(self):
        self.check(2, 160, 1, 0.95, 150)


if __name__ == "__main__":
    TOOL = sys.argv.pop(1)
    unittest.main(verbosity=2)
