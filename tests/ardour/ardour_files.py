#!/usr/bin/env python3
"""Reads and edits Ardour 7's files for the Ardour checks: session files (XML) and the scanner's cache.

  ardour_files.py import SESSION.ardour LEFT.wav RIGHT.wav
      does what an audio import does, which Ardour 7.3's Lua interface cannot: copies the two mono float
      files into the session's audio folder, adds them as sources, puts one stereo region on the first
      track's playlist at position 0 with its fades off, and sets the session range to the region. It also
      bypasses the panners of the track and the master bus, so the stereo signal reaches the export
      unchanged. No sample is touched.
  ardour_files.py chunk SESSION.ardour PLUGIN
      prints the state chunk of the named plug-in: for VST 2 decoded from the session (base64 text up to
      its terminating zero byte), for VST 3 the component state inside the preset image Ardour stores (up
      to its terminating zero byte), for LV2 the string under the plug-in's "URI#chunk" key in the
      state.ttl the session names.
  ardour_files.py state-bytes SESSION.ardour PLUGIN OUT
      writes a VST 2 plug-in's chunk or a VST 3 plug-in's component state, byte for byte.
  ardour_files.py preset-state FILE.vstpreset OUT
      writes the component state a VST 3 preset file holds, byte for byte.
  ardour_files.py set-port SESSION.ardour PLUGIN ID VALUE
      sets a saved VST 3 parameter value (its Port and its control) to VALUE, in plain units.
  ardour_files.py controls SESSION.ardour PLUGIN
      prints the plug-in's saved control values, one "index name value" line each (LV2: "symbol value").
  ardour_files.py strip-controls SESSION.ardour PLUGIN
      removes the plug-in's saved control values, so that a restore must come from the chunk alone.
  ardour_files.py fxb SESSION.ardour PLUGIN OUT.fxb [VST2_ID]
      writes the plug-in's saved chunk (VST 3: its component state), byte for byte, as a VST 2 bank file
      ('FBCh'), so that another host can load exactly the state Ardour restores; a VST 3 plug-in needs the
      VST 2 build's unique ID.
  ardour_files.py fxb-chunk BANK.fxb
      prints the chunk text of a VST 2 bank file (up to its terminating zero byte), as the render tool
      writes it with the plug-in's bank getChunk.
  ardour_files.py fxb-bytes BANK.fxb OUT
      writes that chunk byte for byte.
  ardour_files.py scan-info CACHE.v2i|CACHE.v3i
      prints what the VST 2 or VST 3 scanner recorded about a plug-in, one "key=value" line each.
"""

import base64
import os
import re
import shutil
import struct
import sys
import xml.etree.ElementTree as ET

# Ardour 7 keeps audio positions in superclock ticks; the session file states the rate in its tempo map.
DEFAULT_SUPERCLOCK_RATE = 282240000


def load(path):
    return ET.parse(path)


def save(tree, path):
    tree.write(path, encoding="UTF-8", xml_declaration=True)


def next_ids(root, count):
    """Reserves count fresh object ids above every id in the file and the session's id counter."""
    highest = int(root.get("id-counter", "0"))
    for element in root.iter():
        value = element.get("id")
        if value is not None and value.isdigit():
            highest = max(highest, int(value))
    root.set("id-counter", str(highest + count))
    return [str(highest + 1 + i) for i in range(count)]


def first_track(root):
    for route in root.find("Routes"):
        if route.get("audio-playlist"):
            return route
    raise SystemExit("the session has no audio track")


PLUGIN_TYPES = ("lxvst", "windows-vst", "mac-vst", "lv2", "vst3")


def plugin_processor(root, name):
    for processor in root.iter("Processor"):
        if processor.get("name") == name and processor.get("type") in PLUGIN_TYPES:
            return processor
    raise SystemExit(f"the session has no VST, VST 3 or LV2 plug-in named {name}")


def check_wired_to_master(root, track):
    """An export renders the master bus: every output of the track must reach it."""
    wired = set()
    for io in root.iter("IO"):
        if io.get("direction") == "Input" and io.get("name") == "Master":
            for port in io.iter("Port"):
                wired.update(c.get("other") for c in port.iter("Connection"))
    for io in track.iter("IO"):
        if io.get("direction") == "Output":
            for port in io.iter("Port"):
                if port.get("name") not in wired:
                    raise SystemExit(f"{port.get('name')} is not connected to the master bus")


def wav_frames(path):
    """Frames of a mono 32-bit float WAV file as audio_file.py writes it."""
    with open(path, "rb") as f:
        data = f.read()
    pos = 12
    while pos + 8 <= len(data):
        size = int.from_bytes(data[pos + 4:pos + 8], "little")
        if data[pos:pos + 4] == b"data":
            return size // 4
        pos += 8 + size + (size & 1)
    raise SystemExit(f"{path}: no data chunk")


def import_audio(session_path, left, right):
    tree = load(session_path)
    root = tree.getroot()
    session_dir = os.path.dirname(os.path.abspath(session_path))
    rate = int(root.get("sample-rate"))
    tempo_map = root.find("TempoMap")
    superclock_rate = int(tempo_map.get("superclocks-per-second")) if tempo_map is not None else \
        DEFAULT_SUPERCLOCK_RATE
    frames = wav_frames(left)
    if wav_frames(right) != frames:
        raise SystemExit("the two channel files differ in length")
    if frames * superclock_rate % rate != 0:
        raise SystemExit("the sample rate does not divide the superclock rate")
    end = f"a{frames * superclock_rate // rate}"
    length = f"{end}@a0"  # a duration carries the position it is measured from

    audio_dirs = [os.path.join(session_dir, "interchange", d, "audiofiles")
                  for d in os.listdir(os.path.join(session_dir, "interchange"))]
    if len(audio_dirs) != 1:
        raise SystemExit("expected one folder below interchange/")
    names = []
    for channel_file in (left, right):
        name = os.path.basename(channel_file)
        shutil.copyfile(channel_file, os.path.join(audio_dirs[0], name))
        names.append(name)

    source_left, source_right, whole_region, track_region, session_range = next_ids(root, 5)
    sources = root.find("Sources")
    for source_id, name in ((source_left, names[0]), (source_right, names[1])):
        ET.SubElement(sources, "Source", {
            "name": name, "type": "audio", "flags": "", "id": source_id, "captured-for": "", "channel": "0",
            "origin": name, "natural-position": "a0"})

    region = {
        "name": "signal", "muted": "0", "opaque": "1", "locked": "0", "video-locked": "0", "automatic": "0",
        "whole-file": "1", "import": "1", "external": "0", "sync-marked": "0", "left-of-split": "0",
        "right-of-split": "0", "hidden": "0", "position-locked": "0", "valid-transients": "0",
        "start": "a0", "length": length, "position": "a0", "sync-position": "a0", "ancestral-start": "a0",
        "ancestral-length": "a0@a0", "stretch": "1", "shift": "1", "layering-index": "0",
        "envelope-active": "0", "default-fade-in": "0", "default-fade-out": "0", "fade-in-active": "0",
        "fade-out-active": "0", "scale-amplitude": "1", "type": "audio", "first-edit": "nothing",
        "source-0": source_left, "master-source-0": source_left, "source-1": source_right,
        "master-source-1": source_right, "channels": "2"}
    ET.SubElement(root.find("Regions"), "Region", dict(region, id=whole_region))

    track = first_track(root)
    check_wired_to_master(root, track)
    playlist_id = track.get("audio-playlist")
    playlist = next(p for p in root.find("Playlists") if p.get("id") == playlist_id)
    ET.SubElement(playlist, "Region", dict(region, id=track_region, **{"whole-file": "0", "import": "0"}))

    locations = root.find("Locations")
    for old in list(locations):
        if "IsSessionRange" in old.get("flags", ""):
            locations.remove(old)
    ET.SubElement(locations, "Location", {
        "id": session_range, "name": "session", "start": "a0", "end": end, "flags": "IsSessionRange",
        "locked": "0", "timestamp": "0", "cue": "0"})

    # A panner would weight the two channels; bypassed, the track's and the master's outputs pass them on.
    for shell in root.iter("PannerShell"):
        shell.set("bypassed", "1")
    save(tree, session_path)


def chunk_bytes(processor):
    chunks = list(processor.iter("chunk"))
    if len(chunks) != 1:
        raise SystemExit(f"expected one chunk for {processor.get('name')}, found {len(chunks)}")
    data = base64.b64decode(chunks[0].text or "")
    return component_state(data) if processor.get("type") == "vst3" else data


def component_state(data):
    """The 'Comp' entry of a VST 3 preset image: 'VST3', version, 32-character class ID, the offset of the
    chunk list ('List', count, then per entry its ID, offset and size; little-endian throughout)."""
    if data[0:4] != b"VST3" or len(data) < 48:
        raise SystemExit("not a VST 3 preset image")
    offset = struct.unpack_from("<q", data, 40)[0]
    if data[offset:offset + 4] != b"List":
        raise SystemExit("a VST 3 preset image without its chunk list")
    count = struct.unpack_from("<i", data, offset + 4)[0]
    for entry in range(count):
        at = offset + 8 + 20 * entry
        start, size = struct.unpack_from("<qq", data, at + 4)
        if data[at:at + 4] == b"Comp":
            return data[start:start + size]
    raise SystemExit("a VST 3 preset image without a component state")


TURTLE_ESCAPES = {"t": "\t", "b": "\b", "n": "\n", "r": "\r", "f": "\f", '"': '"', "'": "'", "\\": "\\"}


def turtle_string(body):
    """The value of a Turtle string literal's body (between its quotes)."""
    def unescape(match):
        code = match.group(1)
        return chr(int(code[1:], 16)) if code[0] in "uU" else TURTLE_ESCAPES[code]
    return re.sub(r'\\(u[0-9A-Fa-f]{4}|U[0-9A-Fa-f]{8}|.)', unescape, body, flags=re.S)


def lv2_chunk_text(session_path, processor):
    """Ardour keeps an LV2 plug-in's state in plugins/ID/STATE-DIR/state.ttl beside the session file."""
    lv2 = processor.find("lv2")
    if lv2 is None or not lv2.get("state-dir"):
        raise SystemExit(f"{processor.get('name')} has no saved LV2 state")
    path = os.path.join(os.path.dirname(os.path.abspath(session_path)), "plugins", processor.get("id"),
                        lv2.get("state-dir"), "state.ttl")
    with open(path, encoding="utf-8") as f:
        ttl = f.read()
    key = re.escape(f"<{processor.get('unique-id')}#chunk>")
    found = re.search(key + r'\s*(?:"""((?:[^"\\]|\\.|"(?!""))*)"""|"((?:[^"\\\n]|\\.)*)")', ttl, re.S)
    if not found:
        raise SystemExit(f"{path}: no chunk string")
    return turtle_string(found.group(1) if found.group(1) is not None else found.group(2))


def chunk_text(session_path, name):
    processor = plugin_processor(load(session_path).getroot(), name)
    if processor.get("type") == "lv2":
        return lv2_chunk_text(session_path, processor)
    return text_up_to_zero(chunk_bytes(processor))


def text_up_to_zero(data):
    end = data.find(b"\0")
    return (data if end < 0 else data[:end]).decode("latin-1")


def fxb_chunk_text(path):
    """The chunk of a bank file in the layout write_fxb describes: its size at byte 156, then the chunk."""
    with open(path, "rb") as f:
        data = f.read()
    if data[0:4] != b"CcnK" or data[8:12] != b"FBCh" or len(data) < 160:
        raise SystemExit(f"{path}: not a VST 2 bank file with a chunk")
    size = struct.unpack_from(">i", data, 156)[0]
    return text_up_to_zero(data[160:160 + size])


def fxb_chunk_bytes(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[0:4] != b"CcnK" or data[8:12] != b"FBCh" or len(data) < 160:
        raise SystemExit(f"{path}: not a VST 2 bank file with a chunk")
    return data[160:160 + struct.unpack_from(">i", data, 156)[0]]


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


def write_fxb(session_path, name, out_path, vst2_id=None):
    """The published bank-chunk layout, big-endian: 'CcnK', size of the rest, 'FBCh', format version 1,
    plug-in ID, plug-in version, program count, 128 reserved bytes, chunk size, chunk."""
    processor = plugin_processor(load(session_path).getroot(), name)
    data = chunk_bytes(processor)
    plugin_id = int(vst2_id if vst2_id is not None else processor.get("unique-id")) & 0xFFFFFFFF
    body = b"FBCh" + struct.pack(">iIii", 1, plugin_id, 1, 1) + bytes(128) + struct.pack(">i", len(data)) + data
    with open(out_path, "wb") as f:
        f.write(b"CcnK" + struct.pack(">i", len(body)) + body)


def controls(session_path, name):
    processor = plugin_processor(load(session_path).getroot(), name)
    if processor.get("type") == "lv2":
        return [f"{port.get('symbol')} {port.get('value')}" for port in processor.iter("Port")]
    if processor.get("type") == "vst3":
        return [f"{port.get('id')} {port.get('value')}" for port in processor.iter("Port")]
    lines = []
    for control in processor.findall("Controllable"):
        if control.get("parameter") is not None:
            lines.append(f"{control.get('parameter')} {control.get('name')} {control.get('value')}")
    return lines


def strip_controls(session_path, name):
    tree = load(session_path)
    processor = plugin_processor(tree.getroot(), name)
    removed = 0
    for state in processor.findall("vst3"):
        for port in state.findall("Port"):
            state.remove(port)
    for control in processor.findall("Controllable"):
        if control.get("parameter") is not None:
            processor.remove(control)
            removed += 1
    if removed == 0:
        raise SystemExit(f"{name} has no saved control values")
    save(tree, session_path)


def set_port(session_path, name, port_id, value):
    tree = load(session_path)
    processor = plugin_processor(tree.getroot(), name)
    ports = [p for p in processor.iter("Port") if p.get("id") == port_id]
    controls = [c for c in processor.findall("Controllable") if c.get("parameter") == port_id]
    if len(ports) != 1 or len(controls) != 1:
        raise SystemExit(f"{name} has no saved parameter {port_id}")
    ports[0].set("value", value)
    controls[0].set("value", value)
    save(tree, session_path)


def scan_info(cache_path):
    root = load(cache_path).getroot()
    infos = list(root.iter("VST2Info")) + list(root.iter("VST3Info"))
    if len(infos) != 1:
        raise SystemExit(f"{cache_path}: expected one plug-in, found {len(infos)}")
    where = root.get("binary") or root.get("module")
    return [f"binary={where}"] + [f"{key}={value}" for key, value in infos[0].attrib.items()]


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    command, session = argv[1], argv[2]
    if command == "scan-info" and len(argv) == 3:
        print("\n".join(scan_info(session)))
    elif command == "import" and len(argv) == 5:
        import_audio(session, argv[3], argv[4])
    elif command == "chunk" and len(argv) == 4:
        sys.stdout.write(chunk_text(session, argv[3]))
    elif command == "fxb-chunk" and len(argv) == 3:
        sys.stdout.write(fxb_chunk_text(session))
    elif command == "fxb" and len(argv) in (5, 6):
        write_fxb(session, argv[3], argv[4], argv[5] if len(argv) == 6 else None)
    elif command == "fxb-bytes" and len(argv) == 4:
        write_bytes(argv[3], fxb_chunk_bytes(session))
    elif command == "state-bytes" and len(argv) == 5:
        write_bytes(argv[4], chunk_bytes(plugin_processor(load(session).getroot(), argv[3])))
    elif command == "preset-state" and len(argv) == 4:
        with open(session, "rb") as f:
            write_bytes(argv[3], component_state(f.read()))
    elif command == "set-port" and len(argv) == 6:
        set_port(session, argv[3], argv[4], argv[5])
    elif command == "controls" and len(argv) == 4:
        print("\n".join(controls(session, argv[3])))
    elif command == "strip-controls" and len(argv) == 4:
        strip_controls(session, argv[3])
    else:
        raise SystemExit(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
