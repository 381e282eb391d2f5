#!/usr/bin/env python3
"""WAV files for the Ardour checks, with the standard library only (no numpy on the test machines).

  audio_file.py signal STEREO.wav LEFT.wav RIGHT.wav [--rate HZ] [--seconds S]
      writes the test signal as one stereo file (for the render tool) and as two mono files (Ardour's
      sources are mono); all three are 32-bit float, so nothing is rounded on the way in.
  audio_file.py compare A.wav B.wav [--tolerance T] [--differ] [--gain-a G] [--skip-a N] [--max-lag L]
      compares two renders sample by sample. Without --differ it succeeds when both have the same shape
      and every sample differs by at most T (absolute); it prints whether they are identical. With
      --differ it succeeds only when they differ by more than T somewhere (a setting must be audible).
      --gain-a scales A first (in single precision, as a plug-in would); --skip-a drops A's first N frames.
      --max-lag also accepts B shifted against A by up to L frames, compared where both have frames, and
      says so ("B starts 16 frames late").
  audio_file.py pad IN.wav OUT.wav FRAMES
      writes IN after FRAMES frames of silence, to replay a host's silent pre-roll.
  audio_file.py stats FILE.wav
      prints the peak; fails when a sample is not finite or every sample is zero.
  audio_file.py join OUT.wav FIRST.wav MORE.wav... [--gain-more G]
      writes the files' channels one after the other, the more ones cut or padded with silence to the first
      one's length and times G (in single precision): a signal with its key (side-chain) signal, as tools
      with one file for all inputs take them.
"""

import argparse
import math
import random
import struct
import sys
from array import array

WAVE_FORMAT_PCM = 1
WAVE_FORMAT_IEEE_FLOAT = 3
WAVE_FORMAT_EXTENSIBLE = 0xFFFE


class Audio:
    def __init__(self, rate, channels):
        self.rate = rate
        self.channels = [array("f") for _ in range(channels)]

    @property
    def frames(self):
        return len(self.channels[0]) if self.channels else 0


def read_wav(path):
    """Reads PCM (16, 24, 32 bit) or 32-bit float WAV into floats, one array per channel."""
    with open(path, "rb") as f:
        data = f.read()
    if data[0:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(f"{path}: not a RIFF/WAVE file")
    pos = 12
    fmt = None
    samples = None
    while pos + 8 <= len(data):
        chunk_id = data[pos:pos + 4]
        size = struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if chunk_id == b"fmt ":
            tag, channels, rate, _, _, bits = struct.unpack_from("<HHIIHH", body, 0)
            if tag == WAVE_FORMAT_EXTENSIBLE:
                tag = struct.unpack_from("<H", body, 24)[0]  # first two bytes of the sub-format GUID
            fmt = (tag, channels, rate, bits)
        elif chunk_id == b"data":
            samples = body
        pos += 8 + size + (size & 1)  # chunks are padded to even sizes
    if fmt is None or samples is None:
        raise ValueError(f"{path}: no fmt or data chunk")
    tag, channels, rate, bits = fmt
    if tag == WAVE_FORMAT_IEEE_FLOAT and bits == 32:
        values = array("f")
        values.frombytes(samples[:len(samples) // 4 * 4])
    elif tag == WAVE_FORMAT_PCM and bits in (16, 32):
        values = array("h" if bits == 16 else "i")
        values.frombytes(samples[:len(samples) // values.itemsize * values.itemsize])
        scale = 1.0 / (1 << (bits - 1))
        values = array("f", (v * scale for v in values))
    elif tag == WAVE_FORMAT_PCM and bits == 24:
        count = len(samples) // 3
        values = array("f", (int.from_bytes(samples[3 * i:3 * i + 3], "little", signed=True) / 8388608.0
                             for i in range(count)))
    else:
        raise ValueError(f"{path}: unsupported WAV format {tag} with {bits} bits")
    if sys.byteorder != "little":
        values.byteswap()
    audio = Audio(rate, channels)
    for c in range(channels):
        audio.channels[c] = values[c::channels]
    return audio


def write_wav_float(path, rate, channels):
    """Writes 32-bit float WAV; channels is a list of equally long float arrays."""
    frames = len(channels[0])
    interleaved = array("f", bytes(4 * frames * len(channels)))
    for c, samples in enumerate(channels):
        interleaved[c::len(channels)] = samples
    if sys.byteorder != "little":
        interleaved.byteswap()
    payload = interleaved.tobytes()
    block_align = 4 * len(channels)
    fmt = struct.pack("<HHIIHHH", WAVE_FORMAT_IEEE_FLOAT, len(channels), rate, rate * block_align, block_align,
                      32, 0)
    fact = struct.pack("<I", frames)
    body = (b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"fact" + struct.pack("<I", len(fact)) +
            fact + b"data" + struct.pack("<I", len(payload)) + payload)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


def test_signal(rate, seconds):
    """Material that drives every part of the compressor: quiet tones under the threshold, loud bursts with
    sharp onsets (attack), gaps (release), bass and treble (the side-chain filters), a sweep through all 33
    detector bands and different content left and right (the channel link). Seeded, so every run is the
    same; peaks stay below 0.9."""
    frames = int(rate * seconds)
    rng = random.Random(20240611)
    left = array("f", bytes(4 * frames))
    right = array("f", bytes(4 * frames))
    sweep_start = int(0.5 * frames)
    sweep_frames = frames - sweep_start
    phase = 0.0
    for i in range(frames):
        t = i / rate
        noise = rng.uniform(-1.0, 1.0)
        if i < sweep_start:
            # Bursts of 250 ms every 500 ms, alternately loud and quiet, over a quiet bed of two tones.
            burst = (i // int(0.25 * rate)) % 2 == 0
            loud = (i // int(0.5 * rate)) % 2 == 0
            level = (0.6 if loud else 0.12) if burst else 0.0
            bed = 0.01 * math.sin(2 * math.pi * 1000 * t)
            left[i] = bed + level * (0.5 * math.sin(2 * math.pi * 55 * t) + 0.3 * noise)
            right[i] = 0.01 * math.sin(2 * math.pi * 1500 * t) + level * (
                0.4 * math.sin(2 * math.pi * 7000 * t) + 0.3 * noise)
        else:
            # A logarithmic sweep from 20 Hz to 20 kHz with a 4 Hz tremolo, the right channel an octave
            # lower at a different level.
            x = (i - sweep_start) / sweep_frames
            freq = 20.0 * (1000.0 ** x)
            phase += 2 * math.pi * freq / rate
            tremolo = 0.5 + 0.5 * math.sin(2 * math.pi * 4 * t)
            left[i] = 0.7 * tremolo * math.sin(phase)
            right[i] = 0.3 * tremolo * math.sin(0.5 * phase) + 0.02 * noise
    return left, right


def differences(a, b, lag, give_up_above=math.inf):
    """Compares a[i + lag] with b[i] over the frames both have. Answers (worst, where, differing, frames),
    or None as soon as one difference exceeds give_up_above."""
    first = max(0, -lag)
    last = min(b.frames, a.frames - lag)
    worst = 0.0
    where = (0, 0)
    differing = 0
    for c in range(len(a.channels)):
        for i, (x, y) in enumerate(zip(a.channels[c][first + lag:last + lag], b.channels[c][first:last]), first):
            d = abs(x - y)
            if d != d:  # NaN on one side only counts as a difference that fails every tolerance
                d = math.inf if (x == x) != (y == y) else 0.0
            if d > 0.0:
                differing += 1
                if d > worst:
                    if d > give_up_above:
                        return None
                    worst = d
                    where = (c, i)
    return worst, where, differing, max(0, last - first)


def compare(a_path, b_path, tolerance, differ, gain_a=1.0, skip_a=0, max_lag=0):
    a = read_wav(a_path)
    b = read_wav(b_path)
    if skip_a:
        a.channels = [samples[skip_a:] for samples in a.channels]
    if gain_a != 1.0:
        for c in range(len(a.channels)):
            a.channels[c] = array("f", (gain_a * x for x in a.channels[c]))
    if (a.rate, len(a.channels), a.frames) != (b.rate, len(b.channels), b.frames):
        print(f"shape differs: {a_path} {a.rate} Hz x{len(a.channels)} {a.frames} frames, "
              f"{b_path} {b.rate} Hz x{len(b.channels)} {b.frames} frames")
        return False
    lag = 0
    worst, where, differing, frames = differences(a, b, 0)
    if not differ and worst > tolerance:
        # B may be A shifted in time (a host that starts its render a few frames early or late): find the
        # shift under which they agree, trying the smallest first.
        for candidate in sorted(range(-max_lag, max_lag + 1), key=abs)[1:]:
            found = differences(a, b, candidate, tolerance)
            if found is not None:
                lag = candidate
                worst, where, differing, frames = found
                break
    shift = ""
    if lag:
        shift = f"B starts {abs(lag)} frames {'late' if lag > 0 else 'early'}, compared over {frames} frames: "
    print(f"{shift}{a.frames} frames x{len(a.channels)}: max |difference| {worst:.3g} (channel {where[0]}, frame "
          f"{where[1]}), {differing} samples differ; {'identical' if differing == 0 else 'not identical'}")
    return worst > tolerance if differ else worst <= tolerance


def stats(path):
    audio = read_wav(path)
    peak = 0.0
    bad = 0
    for samples in audio.channels:
        for x in samples:
            if math.isfinite(x):
                peak = max(peak, abs(x))
            else:
                bad += 1
    print(f"{audio.frames} frames x{len(audio.channels)}: peak {peak:.4g}, {bad} samples not finite")
    return bad == 0 and peak > 0.0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    s = sub.add_parser("signal")
    s.add_argument("stereo")
    s.add_argument("left")
    s.add_argument("right")
    s.add_argument("--rate", type=int, default=48000)
    s.add_argument("--seconds", type=float, default=6.0)
    c = sub.add_parser("compare")
    c.add_argument("a")
    c.add_argument("b")
    c.add_argument("--tolerance", type=float, default=0.0)
    c.add_argument("--differ", action="store_true")
    c.add_argument("--gain-a", type=float, default=1.0)
    c.add_argument("--skip-a", type=int, default=0)
    c.add_argument("--max-lag", type=int, default=0)
    p = sub.add_parser("pad")
    p.add_argument("input")
    p.add_argument("output")
    p.add_argument("frames", type=int)
    t = sub.add_parser("stats")
    t.add_argument("file")
    j = sub.add_parser("join")
    j.add_argument("output")
    j.add_argument("first")
    j.add_argument("more", nargs="+")
    j.add_argument("--gain-more", type=float, default=1.0)
    args = parser.parse_args()

    if args.command == "signal":
        left, right = test_signal(args.rate, args.seconds)
        write_wav_float(args.stereo, args.rate, [left, right])
        write_wav_float(args.left, args.rate, [left])
        write_wav_float(args.right, args.rate, [right])
        return 0
    if args.command == "pad":
        audio = read_wav(args.input)
        silence = array("f", bytes(4 * args.frames))
        write_wav_float(args.output, audio.rate, [silence + samples for samples in audio.channels])
        return 0
    if args.command == "stats":
        return 0 if stats(args.file) else 1
    if args.command == "join":
        first = read_wav(args.first)
        gain = array("f", [args.gain_more])[0]
        joined = list(first.channels)
        for path in args.more:
            for samples in read_wav(path).channels:
                scaled = array("f", [x * gain for x in samples[:first.frames]])
                joined.append(scaled + array("f", bytes(4 * (first.frames - len(scaled)))))
        write_wav_float(args.output, first.rate, joined)
        return 0
    return 0 if compare(args.a, args.b, args.tolerance, args.differ, args.gain_a, args.skip_a, args.max_lag) else 1


if __name__ == "__main__":
    sys.exit(main())
