#!/usr/bin/python3
"""The filter designs of dsp/filters checked by their frequency responses,
computed here with numpy/scipy from the coefficients that the
filter_coefficients tool prints, against scipy's own butter, cheby1, cheby2
and ellip designs.

Our route (prototype at 1 rad/s, bilinear with cot(0.5), all-pass move to
the cutoff) and scipy's (bilinear pre-warped at the cutoff) are both the one
Moebius map that takes s = 0, j, infinity to DC, the cutoff and Nyquist, so
the filters must agree once both are scaled to unity at DC (low-pass) or
Nyquist (high-pass).

  filter_designs_test.py PATH_TO_filter_coefficients
"""
import math
import os
import subprocess
import sys
import unittest

try:
    import numpy as np
    from scipy import signal
except ImportError as e:  # a missing peer is never a pass
    print(f"peer missing: python3-numpy/python3-scipy ({e})")
    required = os.environ.get("CI", "") not in ("", "false", "0") or os.environ.get("TIDEMARK_REQUIRE_PEERS") == "1"
    sys.exit(1 if required else 77)

TOOL = None
DESIGNS = ("butterworth", "chebyshev1", "chebyshev2", "elliptic")
RIPPLE_DB = 0.10


def run(requests):
    """The tool's answers, in order: (sos array, gain, elliptic order) or an error code."""
    text = subprocess.run([TOOL], input="".join(r + "\n" for r in requests), capture_output=True, text=True,
                          check=True).stdout.split("\n")
    answers = []
    i = 0
    for _ in requests:
        head = text[i].split()
        i += 1
        if head[0] == "error":
            answers.append(head[1])
            continue
        count, gain, order = int(head[1]), float(head[2]), int(head[3])
        rows = []
        for _ in range(count):
            b0, b1, b2, a1, a2 = map(float, text[i].split())
            rows.append([b0, b1, b2, 1.0, a1, a2])
            i += 1
        answers.append((np.array(rows).reshape(-1, 6), gain, order))
    return answers


def response(sos, gain, omega):
    if len(sos) == 0:
        return np.ones_like(omega)
    return np.abs(signal.sosfreqz(sos, worN=omega)[1]) * gain


def db(x):
    return 20 * np.log10(np.maximum(np.abs(x), 1e-300))


def scipy_design(design, order, cutoff, highpass, stop_db):
    wn = 2 * min(cutoff, 0.4995)
    btype = "highpass" if highpass else "lowpass"
    if design == "butterworth":
        sos = signal.butter(order, wn, btype, output="sos")
    elif design == "chebyshev1":
        sos = signal.cheby1(order, RIPPLE_DB, wn, btype, output="sos")
    elif design == "chebyshev2":
        sos = signal.cheby2(order, -stop_db, wn, btype, output="sos")
    else:
        sos = signal.ellip(order, RIPPLE_DB, -stop_db, wn, btype, output="sos")
    norm = np.pi if highpass else 0.0
    return sos, 1.0 / response(sos, 1.0, np.array([norm]))[0]


def lphp_request(design, highpass, sections, cutoff, stop_db=-40.0):
    return f"lphp {DESIGNS.index(design)} {int(highpass)} {sections} {cutoff!r} {stop_db!r}"


class LowpassHighpassTest(unittest.TestCase):
    CASES = [(d, hp, m, fc, stop) for d in DESIGNS for hp in (False, True) for m in (1, 5, 15)
             for fc in (31.25 / 384000, 1000 / 44100, 0.1, 0.23, 0.4995) for stop in (-40.0, -80.0)]

    @classmethod
    def setUpClass(cls):
        cls.answers = run([lphp_request(*c) for c in cls.CASES])

    def test_responses_match_scipy(self):
        omega = np.linspace(1e-4, np.pi - 1e-4, 4000)
        for case, answer in zip(self.CASES, self.answers):
            design, highpass, m, cutoff, stop = case
            sos, gain, order = answer
            order = order if design == "elliptic" else 2 * m
            ref_sos, ref_gain = scipy_design(design, order, cutoff, highpass, stop)
            ours = response(sos, gain, omega)
            ref = response(ref_sos, ref_gain, omega)
            err = np.abs(ours - ref)
            self.assertLess(err.max(), 1e-5, f"{case}: largest difference {err.max():.3g}")

    def test_edge_and_attenuation_at_two_and_four_times_the_cutoff(self):
        stopband_checks = {}
        for case, answer in zip(self.CASES, self.answers):
            design, highpass, m, cutoff, stop = case
            sos, gain, order = answer
            order = order if design == "elliptic" else 2 * m
            wc = 2 * np.pi * cutoff
            edge = db(response(sos, gain, np.array([wc])))[0]
            want = {"butterworth": -10 * math.log10(2), "chebyshev1": 0.0, "chebyshev2": stop, "elliptic": 0.0}[design]
            self.assertAlmostEqual(edge, want, delta=0.01, msg=f"{case}: edge at {edge:.4f} dB")
            ref_sos, ref_gain = scipy_design(design, order, cutoff, highpass, stop)
            for factor in (2, 4):
                w = wc / factor if highpass else wc * factor
                if w >= np.pi:
                    continue
                got = db(response(sos, gain, np.array([w])))[0]
                ref = db(response(ref_sos, ref_gain, np.array([w])))[0]
                self.assertAlmostEqual(got, ref, delta=0.05 if ref > -150 else 5.0,
                                       msg=f"{case}: {got:.2f} dB at {factor}x the cutoff, scipy {ref:.2f}")
                # Scaled to unity at DC, an even-order elliptic's stopband
                # sits the ripple higher.
                bound = stop + (RIPPLE_DB if design == "elliptic" else 0.0) + 0.01
                if ref < bound:  # in the stopband
                    self.assertLess(got, bound, f"{case}: stopband {got:.2f} dB at {factor}x")
                    stopband_checks[design] = stopband_checks.get(design, 0) + 1
                if design == "butterworth":
                    # |H|^2 = 1 / (1 + r^(2N)) for the warped ratio r > factor... at least this much.
                    self.assertLess(got, -10 * math.log10(1 + factor ** (2 * order)) + 0.5, f"{case}")
        self.assertGreater(stopband_checks.get("elliptic", 0), 20)
        self.assertGreater(stopband_checks.get("chebyshev2", 0), 20)

    def test_passband_ripple(self):
        omega = np.linspace(0, 1, 500)
        for case, answer in zip(self.CASES, self.answers):
            design, highpass, m, cutoff, stop = case
            if design not in ("chebyshev1", "elliptic"):
                continue
            sos, gain, _ = answer
            wc = 2 * np.pi * cutoff
            w = (np.pi - (np.pi - wc) * omega) if highpass else wc * omega
            level = db(response(sos, gain, w))
            self.assertGreater(level.min(), -0.001, f"{case}")
            self.assertLess(level.max(), RIPPLE_DB + 0.001, f"{case}")

    def test_stable_and_unity_at_dc_or_nyquist_across_cutoffs_rates_and_orders(self):
        cases = []
        for rate in (8000, 44100, 384000):
            for cents in range(-6000, 6001, 300):
                f = 1000 * 2 ** (cents / 1200)
                for design in DESIGNS:
                    for hp in (False, True):
                        for m in range(1, 16):
                            cases.append((design, hp, m, f / rate, -40.0 if m % 2 else -90.0))
        answers = run([lphp_request(*c) for c in cases])
        for case, answer in zip(cases, answers):
            self.assertIsInstance(answer, tuple, f"{case}: {answer}")
            sos, gain, _ = answer
            a1, a2 = sos[:, 4], sos[:, 5]
            # Both roots of 1 + a1 z^-1 + a2 z^-2 inside the unit circle.
            self.assertTrue(np.all(np.abs(a2) < 1) and np.all(np.abs(a1) < 1 + a2), f"{case}: unstable")
            at = np.pi if case[1] else 0.0
            for row in sos:
                b0, b1, b2, _, a1_, a2_ = row
                sign = -1.0 if case[1] else 1.0
                self.assertAlmostEqual((b0 + sign * b1 + b2) / (1 + sign * a1_ + a2_), 1.0, delta=1e-7, msg=f"{case}")
            self.assertAlmostEqual(response(sos, gain, np.array([at]))[0], 1.0, delta=1e-7, msg=f"{case}")


class EqualiserTest(unittest.TestCase):
    def band(self, kind, f, gain_db, width):
        (sos, gain, _), = run([f"band {kind} {f!r} {10 ** (gain_db / 20)!r} {width!r}"])
        return sos, gain

    def test_peaking_gain_at_centre_half_at_edge_unity_at_ends(self):
        for f in (31.25 / 44100, 0.01, 0.1, 0.3, 0.45):
            for gain_db in (-15.0, -3.0, 6.0, 15.0):
                for width in (0.25, 1.0, 3.0):
                    sos, g = self.band(3, f, gain_db, width)
                    w = 2 * np.pi * f
                    centre, edge, dc, nyq = db(response(sos, g, np.array([w, w / 2 ** (width / 2), 0, np.pi])))
                    case = (f, gain_db, width)
                    self.assertAlmostEqual(centre, gain_db, delta=1e-6, msg=f"{case}")
                    self.assertAlmostEqual(edge, gain_db / 2, delta=1e-6, msg=f"{case}")
                    self.assertAlmostEqual(dc, 0.0, delta=1e-7, msg=f"{case}")
                    self.assertAlmostEqual(nyq, 0.0, delta=1e-6, msg=f"{case}")
                    # The peak is at the centre.
                    grid = np.linspace(1e-4, np.pi, 20000)
                    level = db(response(sos, g, grid))
                    self.assertLess(np.abs(level).max(), abs(gain_db) + 1e-6)

    def test_six_db_shelves_reach_six_db_well_past_their_edge(self):
        rate = 44100
        for centre in (250.0, 1000.0):
            for width in (0.5, 1.0, 2.0, 3.0):
                case = (centre, width)
                high, gh = self.band(1, centre / rate, 6.0, width)
                low, gl = self.band(2, centre / rate, 6.0, width)
                # Two octaves and more past the band's far end.
                top = centre * 2 ** (width / 2)
                bottom = centre / 2 ** (width / 2)
                past_high = 2 * np.pi * np.array([f for f in (4 * top, 8 * top, 16 * top) if f < rate / 2]) / rate
                past_low = 2 * np.pi * np.array([bottom / 4, bottom / 8, bottom / 16]) / rate
                self.assertGreater(len(past_high), 0)
                for level in db(response(high, gh, past_high)):
                    self.assertAlmostEqual(level, 6.0, delta=0.1, msg=f"high shelf {case}")
                for level in db(response(low, gl, past_low)):
                    self.assertAlmostEqual(level, 6.0, delta=0.1, msg=f"low shelf {case}")
                # Unity at the other end, half the gain at the centre, never above the gain.
                self.assertAlmostEqual(db(response(high, gh, np.array([0.0])))[0], 0.0, delta=1e-7)
                self.assertAlmostEqual(db(response(low, gl, np.array([np.pi])))[0], 0.0, delta=1e-7)
                w = np.array([2 * np.pi * centre / rate])
                self.assertAlmostEqual(db(response(high, gh, w))[0], 3.0, delta=1e-6, msg=f"{case}")
                self.assertAlmostEqual(db(response(low, gl, w))[0], 3.0, delta=1e-6, msg=f"{case}")
                grid = np.linspace(0, np.pi, 5000)
                self.assertLess(db(response(high, gh, grid)).max(), 6.0 + 1e-6)
                self.assertLess(db(response(low, gl, grid)).max(), 6.0 + 1e-6)

    def test_graphic_eq_band_lists(self):
        gains = [1.0, -2.0, 3.0, -4.0, 5.0, -6.0, 7.0, -8.0, 9.0, -10.0]
        for rate, bands in ((22050, 9), (44100, 10), (32000, 10), (8000, 8)):
            (sos, gain, _), = run([f"geq {rate} " + " ".join(map(str, gains))])
            self.assertEqual(len(sos), bands, f"{rate} Hz")
            self.assertTrue(np.all(np.abs(sos[:, 5]) < 1) and np.all(np.abs(sos[:, 4]) < 1 + sos[:, 5]))
            for k in range(bands):
                centre = min(31.25 * 2 ** k / rate, 0.4995)
                level = db(response(sos[k:k + 1], gain, np.array([2 * np.pi * centre])))[0]
                self.assertAlmostEqual(level, gains[k], delta=1e-6, msg=f"{rate} Hz band {k}")
        # Bands with gain 0 give no section.
        (sos, _, _), = run(["geq 44100 0 0 3 0 0 0 0 0 0 -2"])
        self.assertEqual(len(sos), 2)


if __name__ == "__main__":
    TOOL = sys.argv.pop(1)
    unittest.main(verbosity=2)
