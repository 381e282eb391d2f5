-- Creates a session with one stereo audio track carrying one VST 2 plug-in, sets the plug-in's knobs,
-- writes what Ardour learnt about the plug-in to a report file and saves.
-- Environment: ZR_SESSION_DIR, ZR_SESSION_NAME, ZR_PLUGIN (name as scanned), ZR_KNOBS ("index=position"
-- pairs separated by spaces; positions are the host's normalised 0..1), ZR_REPORT (output file), and
-- optionally ZR_PROBE: a second plug-in put in front of the first, untouched (the unity-gain probe, which
-- sees exactly the blocks the plug-in under test sees), and ZR_RATE, the sample rate (default 48000).

local function fail(message)
    io.stderr:write("make_session.lua: " .. message .. "\n")
    os.exit(1)
end

local dir, name, plugin_name = os.getenv("ZR_SESSION_DIR"), os.getenv("ZR_SESSION_NAME"), os.getenv("ZR_PLUGIN")
local report = io.open(os.getenv("ZR_REPORT"), "w") or fail("cannot write the report")

AudioEngine:set_backend("None (Dummy)", "", "")
local session = create_session(dir, name, tonumber(os.getenv("ZR_RATE") or "48000"))
if not session then fail("cannot create the session") end

local tracks = Session:new_audio_track(2, 2, nil, 1, "Audio", ARDOUR.PresentationInfo.max_order,
    ARDOUR.TrackMode.Normal, true)
if tracks:size() ~= 1 then fail("cannot add the track") end
local track = tracks:front()

-- Ardour wires a new track to the master bus from a background thread, so a save right away may come
-- before the wiring; wire it here.
local master = Session:master_out()
for channel = 0, 1 do
    local from, to = track:output():audio(channel), master:input():audio(channel):name()
    if not from:connected_to(to) and from:connect(to) ~= 0 then fail("cannot connect the track to the master bus") end
end

-- Inserts the named plug-in at the top of the track's chain.
local function insert(name)
    local found = nil
    for info in ARDOUR.LuaAPI.list_plugins():iter() do
        if info.type == ARDOUR.PluginType.LXVST and info.name == name then found = info end
    end
    if not found then fail("Ardour does not know the plug-in " .. name) end
    local proc = ARDOUR.LuaAPI.new_plugin(Session, name, ARDOUR.PluginType.LXVST, "")
    if proc:isnil() then fail("cannot instantiate " .. name) end
    if track:add_processor_by_index(proc, 0, nil, true) ~= 0 then fail("cannot insert " .. name) end
    return found, proc
end

local found, proc = insert(plugin_name)
report:write(string.format("plugin\t%s\t%s\t%s\n", found.name, found.unique_id, found.creator))
local plugin = proc:to_insert():plugin(0)
local probe = os.getenv("ZR_PROBE") or ""
if probe ~= "" then insert(probe) end

for index, position in string.gmatch(os.getenv("ZR_KNOBS") or "", "(%d+)=([%d.eE+-]+)") do
    if not ARDOUR.LuaAPI.set_processor_param(proc, tonumber(index), tonumber(position)) then
        fail("cannot set parameter " .. index)
    end
end

for i = 0, plugin:parameter_count() - 1 do
    report:write(string.format("param\t%d\t%s\t%.9g\n", i, plugin:parameter_label(i),
        ARDOUR.LuaAPI.get_processor_param(proc, i)))
end

if Session:save_state("", false, false, false, false, false) ~= 0 then fail("cannot save") end
close_session()
report:write("done\n")
report:close()
