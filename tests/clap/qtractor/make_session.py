#!/usr/bin/env python3
"""Writes a qtractor session for tests/clap/run.sh: the Master bus in monitor mode with one CLAP plug-in as
its insert, whose state (a file of the plug-in's state bytes) qtractor hands to state.load.

  make_session.py SESSION.qtr PLUGIN.clap STATE_FILE

qtractor keeps a plug-in's state as base64 of Qt's qCompress: the length as 4 bytes big-endian, then zlib.
"""

import base64
import os
import struct
import sys
import zlib


def main():
    session, plugin, state_file = sys.argv[1:4]
    with open(state_file, "rb") as f:
        state = f.read()
    blob = base64.b64encode(struct.pack(">I", len(state)) + zlib.compress(state)).decode()
    directory = os.path.dirname(os.path.abspath(session))
    text = f"""<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE qtractorSession>
<session version="0.9.31" name="claptest">
 <properties>
  <directory>{directory}</directory>
  <sample-rate>48000</sample-rate>
 </properties>
 <devices>
  <audio-engine>
   <audio-bus name="Master" mode="duplex">
    <pass-through>0</pass-through>
    <monitor>1</monitor>
    <channels>2</channels>
    <auto-connect>0</auto-connect>
    <output-plugins>
     <plugin type="CLAP">
      <filename>{os.path.abspath(plugin)}</filename>
      <index>0</index>
      <activated>1</activated>
      <configs>
       <config key="state">{blob}</config>
      </configs>
     </plugin>
    </output-plugins>
   </audio-bus>
  </audio-engine>
 </devices>
 <tracks/>
</session>
"""
    with open(session, "w") as f:
        f.write(text)


if __name__ == "__main__":
    main()
