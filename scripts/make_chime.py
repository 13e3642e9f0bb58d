#!/usr/bin/env python3
"""Writes site/admin/live/chime.wav: the live screen's new-order sound, a
short two-note chime (0.6 s, 16 kHz mono). Run once; the file is committed."""
import math
import struct
import wave
from pathlib import Path

RATE = 16000
NOTES = [(0.00, 880.0), (0.16, 1318.5)]  # A5, then E6
LENGTH = 0.6

samples = []
for i in range(int(RATE * LENGTH)):
    t = i / RATE
    v = 0.0
    for start, freq in NOTES:
        if t >= start:
            d = t - start
            v += math.sin(2 * math.pi * freq * d) * math.exp(-d * 7) * min(1.0, d * 200)
    samples.append(int(max(-1.0, min(1.0, v * 0.45)) * 32767))

out = Path(__file__).resolve().parent.parent / "site" / "admin" / "live" / "chime.wav"
with wave.open(str(out), "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(RATE)
    w.writeframes(b"".join(struct.pack("<h", s) for s in samples))
print(out, out.stat().st_size, "bytes")
