#!/usr/bin/python3
"""How far the picture is from the sound, as a viewer sees and hears them.

A recording holds a patch of the screen, where the backdrop lets the pulsing
background colour through, and the sound card's output, both stamped on one
wall clock. The sound is found in the music by cross-correlation, which gives
the music time heard at each moment; the background's colour, a pure function
of the play position, gives the music time shown. The offset is the music time
heard minus the music time shown: positive means the picture is late.

    sync_analysis.py analyse RECORDING MUSIC [--from S] [--to S] [--bias MS] [--wall-from T] [--wall-to T]
    sync_analysis.py reference MUSIC OUTPUT [--from S] [--to S]
    sync_analysis.py selftest MUSIC

Glossary: wall time is the recording's clock, in seconds; music time is a
position in the track, in seconds; the lag at a moment is music time minus wall
time, for the sound (heard) and for the picture (shown).
"""

import argparse
import json
import subprocess
import sys
import tempfile
from pathlib import Path

import numpy as np
from scipy import optimize, signal

SAMPLE_RATE = 44100
BEATS_PER_SECOND = 2.5
BLUE_RATE = 0.33  # blue's angle is 0.33 π a beat; red's π, green's π/2

CORRELATION_WINDOW = 0.5  # seconds of sound located at a time
CORRELATION_HOP = 0.25
PICTURE_WINDOW = 4.0  # seconds of picture fitted at a time
GAP_BLOCK = 0.005  # a gap is counted in 5 ms blocks
JUMP_THRESHOLD = 0.003  # a sound lag that moves by more than this is a jump


def background_rgb(music_seconds):
    """The background colour at these play positions, as the show computes it."""
    beat = np.asarray(music_seconds, dtype=np.float64) * BEATS_PER_SECOND
    channels = [np.floor(255 * np.sin(rate * np.pi * beat) ** 2) for rate in (1.0, 0.5, BLUE_RATE)]
    return np.stack(channels, axis=-1)


def decode_music(music):
    raw = subprocess.run(
        ["ffmpeg", "-v", "error", "-i", str(music), "-ac", "1", "-ar", str(SAMPLE_RATE), "-f", "f32le", "-"],
        check=True, capture_output=True).stdout
    return np.frombuffer(raw, dtype=np.float32).astype(np.float64)


def read_recording(recording):
    """The picture's frames (wall time, mean RGB) and the sound: its clock (wall time of its first sample,
    seconds a sample) and its mono samples.

    The recorder stamps each packet of sound with the wall clock as it reads it, a few milliseconds either
    way; a line through all the stamps gives the sound's clock without that noise, and with the sound
    card's drift against the wall clock."""
    probe = subprocess.run(
        ["ffprobe", "-v", "error", "-show_entries", "stream=index,codec_type,width,height:packet=stream_index,pts_time,duration_time",
         "-of", "json", str(recording)], check=True, capture_output=True, text=True).stdout
    info = json.loads(probe)
    video = next(s for s in info["streams"] if s["codec_type"] == "video")
    audio = next(s for s in info["streams"] if s["codec_type"] == "audio")
    video_times = np.array([float(p["pts_time"]) for p in info["packets"] if p["stream_index"] == video["index"]])
    packets = [p for p in info["packets"] if p["stream_index"] == audio["index"]]
    stamps = np.array([float(p["pts_time"]) for p in packets])
    played = np.concatenate(([0.0], np.cumsum([float(p["duration_time"]) for p in packets])[:-1]))
    slope, start = np.polyfit(played, stamps - stamps[0], 1)
    sound_clock = (stamps[0] + start, slope / SAMPLE_RATE)

    raw = subprocess.run(
        ["ffmpeg", "-v", "error", "-copyts", "-i", str(recording), "-map", f"0:{video['index']}", "-f", "rawvideo",
         "-pix_fmt", "rgb24", "-vsync", "passthrough", "-"], check=True, capture_output=True).stdout
    pixels = np.frombuffer(raw, dtype=np.uint8).reshape(-1, video["height"] * video["width"], 3)
    count = min(len(pixels), len(video_times))
    colours = pixels[:count].astype(np.float64).mean(axis=1)

    raw = subprocess.run(
        ["ffmpeg", "-v", "error", "-i", str(recording), "-map", f"0:{audio['index']}", "-ac", "1", "-ar",
         str(SAMPLE_RATE), "-f", "f32le", "-"], check=True, capture_output=True).stdout
    sound = np.frombuffer(raw, dtype=np.float32).astype(np.float64)
    return video_times[:count], colours, sound_clock, sound


def locate_window(window, music, around=None, reach=None):
    """Where in the music this stretch of sound lies: (sample offset, normalised correlation)."""
    if around is None:
        lo, hi = 0, len(music)
    else:
        lo = max(0, int(around - reach))
        hi = min(len(music), int(around + reach) + len(window))
    segment = music[lo:hi]
    if len(segment) < len(window) or not np.any(window):
        return None, 0.0
    correlation = signal.correlate(segment, window, mode="valid", method="fft")
    running = np.concatenate(([0.0], np.cumsum(segment ** 2)))
    energy = running[len(window):] - running[:-len(window)]
    normalised = correlation / np.sqrt(np.maximum(energy, 1e-12) * np.dot(window, window))
    best = int(np.argmax(normalised))
    offset = float(best)
    if 0 < best < len(normalised) - 1:  # the peak between samples, from a parabola through three
        a, b, c = normalised[best - 1:best + 2]
        if a - 2 * b + c < 0:
            offset += 0.5 * (a - c) / (a - 2 * b + c)
    return lo + offset, float(normalised[best])


def sound_lags(sound_clock, sound, music, start, stop):
    """The sound's lag (music time − wall time) along the recording, from windows between these wall times."""
    size = int(CORRELATION_WINDOW * SAMPLE_RATE)
    hop = int(CORRELATION_HOP * SAMPLE_RATE)
    audio_start, period = sound_clock
    first = max(0, int((start - audio_start) / period))
    last = min(len(sound) - size, int((stop - audio_start) / period))
    times, lags = [], []
    expected = None
    misses = 0
    for at in range(first, last, hop):
        window = sound[at:at + size]
        # The track repeats whole bars, so a search of all of it is made only when the sound has been
        # lost for a while; a window that spans a gap or a jump matches nowhere well and is left out.
        if expected is None or misses >= 2:
            found, score = locate_window(window, music)
        else:
            found, score = locate_window(window, music, expected, 0.3 * SAMPLE_RATE)
        if score < 0.8:
            misses += 1
            if expected is not None:
                expected += hop
            continue
        misses = 0
        expected = found + hop
        wall = audio_start + at * period
        times.append(wall)
        lags.append(found / SAMPLE_RATE - wall)
    return np.array(times), np.array(lags)


def jumps(lags):
    return [float(d) for d in np.diff(lags) if abs(d) > JUMP_THRESHOLD]


def gaps(sound_clock, sound, music, times, lags, start, stop):
    """Silences in the recorded sound where the music, at the heard position, is not silent: lengths in seconds.

    An output that runs dry plays zeros, so only near-digital silence counts, and only where the music is
    sounding for a while around the heard position, which a lag a few milliseconds off cannot fool.
    """
    block = int(GAP_BLOCK * SAMPLE_RATE)
    usable = len(music) // block * block
    music_levels = np.sqrt(np.mean(music[:usable].reshape(-1, block) ** 2, axis=1))
    reach = 6  # blocks either side
    found, run = [], 0
    audio_start, period = sound_clock
    first = max(0, int((start - audio_start) / period))
    last = min(len(sound), int((stop - audio_start) / period))
    for at in range(first, last - block, block):
        wall = audio_start + at * period
        music_block = int((wall + np.interp(wall, times, lags)) / GAP_BLOCK)
        if music_block - reach < 0 or music_block + reach >= len(music_levels):
            continue
        sounding = music_levels[music_block - reach:music_block + reach + 1].min() > 0.01
        heard = np.sqrt(np.mean(sound[at:at + block] ** 2))
        if sounding and heard < 0.001:
            run += 1
        elif run:
            found.append(run * GAP_BLOCK)
            run = 0
    if run:
        found.append(run * GAP_BLOCK)
    return found


def picture_lag(frame_times, colours, guess):
    """The picture's lag over one window: the constant that best turns wall times into the shown colours.

    The backdrop lets about a third of the background through, so each channel of the patch is taken as
    an unknown constant plus an unknown share of the background's channel, fitted for every lag tried.
    """
    def misfit(lag):
        predicted = background_rgb(frame_times + lag)
        total = 0.0
        for channel in range(3):
            basis = np.stack([np.ones(len(frame_times)), predicted[:, channel]], axis=1)
            _, residual, _, _ = np.linalg.lstsq(basis, colours[:, channel], rcond=None)
            total += float(residual[0]) if len(residual) else 0.0
        return total
    grid = guess + np.arange(-0.6, 0.6, 0.002)
    best = grid[int(np.argmin([misfit(lag) for lag in grid]))]
    result = optimize.minimize_scalar(misfit, bounds=(best - 0.004, best + 0.004), method="bounded",
                                      options={"xatol": 1e-5})
    return float(result.x)


def shown_frame_rate(frame_times, colours):
    """Distinct pictures a second, as the screen was sampled (at most the capture's rate)."""
    changed = np.any(np.abs(np.diff(colours, axis=0)) > 0.5, axis=1)
    span = frame_times[-1] - frame_times[0]
    return float(np.count_nonzero(changed) / span) if span > 0 else 0.0


def analyse(recording, music_samples, start_music, stop_music, bias_ms=0.0, wall_from=-np.inf, wall_to=np.inf):
    """Judges the part of the recording between these wall times, which may hold something else before or after."""
    frame_times, colours, sound_clock, sound = read_recording(recording)
    within = (frame_times >= wall_from) & (frame_times <= wall_to)
    if np.count_nonzero(within) < 2:
        raise SystemExit(f"sync_analysis: no picture between wall times {wall_from} and {wall_to} "
                         f"(the recording runs {frame_times[0]:.2f}–{frame_times[-1]:.2f})")
    frame_times, colours = frame_times[within], colours[within]
    all_times, all_lags = sound_lags(sound_clock, sound, music_samples, frame_times[0], frame_times[-1])
    if len(all_lags) == 0:
        raise SystemExit("sync_analysis: the recorded sound matches no part of the music: was anything playing?")
    heard = all_times + all_lags
    inside = (heard >= start_music) & (heard <= stop_music)
    if not np.any(inside):
        raise SystemExit(f"sync_analysis: the recording covers music time {heard[0]:.1f}–{heard[-1]:.1f} s, "
                         f"not {start_music}–{stop_music} s")
    start, stop = all_times[inside][0], all_times[inside][-1]
    times, lags = all_times[inside], all_lags[inside]

    offsets = []
    window_start = start
    while window_start + PICTURE_WINDOW <= stop:
        chosen = (frame_times >= window_start) & (frame_times < window_start + PICTURE_WINDOW)
        middle = window_start + PICTURE_WINDOW / 2
        sound_lag = float(np.interp(middle, times, lags))
        shown = picture_lag(frame_times[chosen], colours[chosen], sound_lag)
        offsets.append((sound_lag - shown) * 1000 - bias_ms)
        window_start += PICTURE_WINDOW
    chosen = (frame_times >= start) & (frame_times <= stop)
    return {
        "music_from": round(float(heard[inside][0]), 2),
        "music_to": round(float(heard[inside][-1]), 2),
        "offset_ms": round(float(np.mean(offsets)), 2) if offsets else None,
        "offset_sd_ms": round(float(np.std(offsets)), 2) if offsets else None,
        "windows": len(offsets),
        "frames_per_second": round(shown_frame_rate(frame_times[chosen], colours[chosen]), 1),
        "gaps_ms": [round(g * 1000) for g in gaps(sound_clock, sound, music_samples, times, lags, start, stop)],
        "jumps_ms": [round(j * 1000, 1) for j in jumps(lags)],
    }


def write_recording(path, capture_rate, colours, audio_start, sound, size=(16, 16)):
    """A recording as the recorder writes one: frames captured at a steady rate from 0, and the sound."""
    with tempfile.TemporaryDirectory() as scratch:
        frames = Path(scratch, "frames.raw")
        pixels = np.repeat(colours[:, None, :], size[0] * size[1], axis=1).clip(0, 255).astype(np.uint8)
        frames.write_bytes(pixels.tobytes())
        audio = Path(scratch, "sound.raw")
        audio.write_bytes(np.asarray(sound, dtype=np.float32).tobytes())
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "rawvideo",
                        "-pix_fmt", "rgb24", "-s", f"{size[0]}x{size[1]}", "-r", f"{capture_rate}", "-i", str(frames),
                        "-itsoffset", f"{audio_start:.6f}", "-f", "f32le", "-ar", str(SAMPLE_RATE), "-ac", "1", "-i",
                        str(audio), "-map", "0:v", "-map", "1:a", "-c:v", "ffv1", "-c:a", "pcm_s16le", "-copyts",
                        str(path)], check=True)


def synthetic_show(music, picture_delay, frame_rate, gap_at=None, gap_length=0.0, jump_at=None, jump_length=0.0,
                   music_start=34.0, seconds=16.0, capture_rate=60.0, sound_late=0.25):
    """What the recorder would get from a show whose frames are seen picture_delay after their position is read.

    The screen is captured from wall time 0, the sound from sound_late on, as a recorder's two inputs start apart.
    Returns the recording's parts and the mean age of the picture on screen when captured, in seconds.
    """
    first = int((music_start + sound_late) * SAMPLE_RATE)
    sound = music[first:first + int((seconds - sound_late) * SAMPLE_RATE)].copy() * 0.75
    if jump_at is not None:  # the music skips ahead: what follows comes from later in the track
        at = int((jump_at - sound_late) * SAMPLE_RATE)
        skip = int(jump_length * SAMPLE_RATE)
        sound[at:] = music[first + at + skip:first + skip + len(sound)] * 0.75
    if gap_at is not None:
        gap = int((gap_at - sound_late) * SAMPLE_RATE)
        sound[gap:gap + int(gap_length * SAMPLE_RATE)] = 0
    capture_times = np.arange(0, seconds * capture_rate) / capture_rate
    # The screen holds the last frame presented before the capture. Presentations fall between
    # captures, as they do when the two clocks are not locked.
    phase = 0.37
    presented = (np.floor(capture_times * frame_rate - phase) + phase) / frame_rate
    shown_music = music_start + presented - picture_delay
    age = picture_delay + float(np.mean(capture_times - presented))
    # What reaches the screen through the backdrop: a third of the background over its own picture, with noise.
    frame_numbers = np.floor(capture_times * frame_rate - phase).astype(int)
    noise = np.random.default_rng(7).normal(0, 3, (frame_numbers.max() + 2, 3))[frame_numbers + 1]
    colours = 60 + 0.31 * background_rgb(shown_music) + noise
    return (capture_rate, colours, sound_late, sound), age


def selftest(music_path):
    music = decode_music(music_path)
    cases = [
        {"picture_delay": 0.0, "frame_rate": 60.0},
        {"picture_delay": 0.017, "frame_rate": 57.0},
        {"picture_delay": -0.010, "frame_rate": 30.0, "gap_at": 7.3, "gap_length": 0.08},
        {"picture_delay": 0.235, "frame_rate": 14.0},
        # After the last picture window, so that only the jump is judged.
        {"picture_delay": 0.0, "frame_rate": 60.0, "jump_at": 13.1, "jump_length": 0.05},
    ]
    failures = 0
    with tempfile.TemporaryDirectory() as scratch:
        for number, case in enumerate(cases):
            recording = Path(scratch, f"case{number}.nut")
            parts, age = synthetic_show(music, **case)
            write_recording(recording, *parts)
            # A frame stays on screen until the next is presented, so the picture is older than its delay
            # by the time since its presentation; calibrating with a media player takes that out for real runs.
            expected = age * 1000
            result = analyse(recording, music, 34.0, 50.0)
            expected_gaps = [case["gap_length"] * 1000] if "gap_at" in case else []
            expected_jumps = [case["jump_length"] * 1000] if "jump_at" in case else []
            good = (abs(result["offset_ms"] - expected) < 2.0
                    and len(result["gaps_ms"]) == len(expected_gaps)
                    and all(abs(got - want) <= 10 for got, want in zip(result["gaps_ms"], expected_gaps))
                    and len(result["jumps_ms"]) == len(expected_jumps)
                    and all(abs(got - want) <= 1 for got, want in zip(result["jumps_ms"], expected_jumps)))
            failures += not good
            print(f"{'ok  ' if good else 'FAIL'} picture {case['picture_delay'] * 1000:+.0f} ms late at "
                  f"{case['frame_rate']:.0f} frames/s, gaps {expected_gaps} ms, jumps {expected_jumps} ms: "
                  f"expected offset {expected:+.1f} ms, got {json.dumps(result)}")
        failures += not selftest_reference_and_show_in_one_recording(music, Path(scratch, "both.nut"))
    return 1 if failures else 0


def selftest_reference_and_show_in_one_recording(music, recording):
    """The reference video and then the show in one recording, each judged between its own wall times:
    the show's offset less the reference's is the show's own delay."""
    (rate, reference_colours, sound_late, reference_sound), reference_age = synthetic_show(music, 0.0, 60.0)
    (_, show_colours, _, show_sound), show_age = synthetic_show(music, 0.040, 30.0)
    seam = len(reference_colours) / rate
    between = np.zeros(int(sound_late * SAMPLE_RATE))
    write_recording(recording, rate, np.concatenate([reference_colours, show_colours]), sound_late,
                    np.concatenate([reference_sound, between, show_sound]))
    bias = analyse(recording, music, 34.0, 50.0, wall_to=seam)
    show = analyse(recording, music, 34.0, 50.0, bias["offset_ms"], wall_from=seam)
    expected = (show_age - reference_age) * 1000
    good = abs(show["offset_ms"] - expected) < 2.0 and not show["gaps_ms"] and not show["jumps_ms"]
    print(f"{'ok  ' if good else 'FAIL'} reference, then a picture 40 ms late at 30 frames/s, in one recording: "
          f"expected offset {expected:+.1f} ms less the reference's, got {json.dumps(show)}")
    return good


def reference(music_path, output, start, stop, frame_rate=60):
    """A video whose colour is the show's background at the music time it plays, with the music."""
    times = np.arange(0, stop - start, 1 / frame_rate) + start
    colours = background_rgb(times).astype(np.uint8)
    size = 64
    frames = np.repeat(colours[:, None, :], size * size, axis=1)
    with tempfile.TemporaryDirectory() as scratch:
        raw = Path(scratch, "frames.raw")
        raw.write_bytes(frames.tobytes())
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", f"{size}x{size}",
                        "-r", str(frame_rate), "-i", str(raw), "-ss", f"{start}", "-t", f"{stop - start}", "-i",
                        str(music_path), "-map", "0:v", "-map", "1:a", "-c:v", "ffv1", "-c:a", "pcm_s16le",
                        str(output)], check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    run = commands.add_parser("analyse", help="offset, frame rate, gaps and jumps of one recording")
    run.add_argument("recording")
    run.add_argument("music")
    run.add_argument("--from", dest="start", type=float, default=34.0, help="first music second to judge")
    run.add_argument("--to", dest="stop", type=float, default=72.0, help="last music second to judge")
    run.add_argument("--bias", type=float, default=0.0, help="the recording chain's own offset in ms, subtracted")
    run.add_argument("--wall-from", type=float, default=-np.inf, help="judge only from this wall time (seconds)")
    run.add_argument("--wall-to", type=float, default=np.inf, help="judge only up to this wall time (seconds)")
    make = commands.add_parser("reference", help="the calibration video for a media player")
    make.add_argument("music")
    make.add_argument("output")
    make.add_argument("--from", dest="start", type=float, default=30.0)
    make.add_argument("--to", dest="stop", type=float, default=76.0)
    check = commands.add_parser("selftest", help="synthetic recordings with a known delay and gap")
    check.add_argument("music")
    arguments = parser.parse_args()

    if arguments.command == "analyse":
        result = analyse(arguments.recording, decode_music(arguments.music), arguments.start, arguments.stop,
                         arguments.bias, arguments.wall_from, arguments.wall_to)
        print(json.dumps(result))
        return 0
    if arguments.command == "reference":
        reference(arguments.music, arguments.output, arguments.start, arguments.stop)
        return 0
    return selftest(arguments.music)


if __name__ == "__main__":
    sys.exit(main())
