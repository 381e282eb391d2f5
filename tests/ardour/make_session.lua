-- Creates a session with one stereo audio track carrying one VST 2, VST 3 or LV2 plug-in, sets the
-- plug-in's controls, writes what Ardour learnt about the plug-in to a report file and saves.
-- Environment: ZR_SESSION_DIR, ZR_SESSION_NAME, ZR_PLUGIN (VST 2 and VST 3: name as scanned; LV2: URI),
-- ZR_KNOBS ("index=value" pairs separated by spaces; index counts control inputs; VST 2 values are the
-- host's normalised 0..1, VST 3 values plain ones, LV2 values the port's own units), ZR_REPORT (output
-- file), and optionally ZR_PLUGIN_TYPE (LXVST, the default, VST3 or LV2); ZR_PROBE: a VST 2 plug-in put in front of the first,
-- untouched (the unity-gain probe, which sees exactly the blocks the plug-in under test sees); ZR_RATE, the
-- sample rate (default 48000); ZR_SETTLE_FRAMES: frames the engine must process before the save (an LV2
-- plug-in only learns new port values in its next run, and saves what it has learnt).

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

-- Inserts the plug-in at the top of the track's chain: a VST 2 one by name, an LV2 one by URI.
local function insert(name, type)
    local found = nil
    for info in ARDOUR.LuaAPI.list_plugins():iter() do
        local key = type == ARDOUR.PluginType.LV2 and info.unique_id or info.name
        if info.type == type and key == name then found = info end
    end
    if not found then fail("Ardour does not know the plug-in " .. name) end
    local proc = ARDOUR.LuaAPI.new_plugin(Session, name, type, "")
    if proc:isnil() then fail("cannot instantiate " .. name) end
    if track:add_processor_by_index(proc, 0, nil, true) ~= 0 then fail("cannot insert " .. name) end
    return found, proc
end

local plugin_type = ARDOUR.PluginType.LXVST
if os.getenv("ZR_PLUGIN_TYPE") == "LV2" then plugin_type = ARDOUR.PluginType.LV2 end
if os.getenv("ZR_PLUGIN_TYPE") == "VST3" then plugin_type = ARDOUR.PluginType.VST3 end
local found, proc = insert(plugin_name, plugin_type)
report:write(string.format("plugin\t%s\t%s\t%s\n", found.name, found.unique_id, found.creator))
local plugin = proc:to_insert():plugin(0)
local probe = os.getenv("ZR_PROBE") or ""
if probe ~= "" then insert(probe, ARDOUR.PluginType.LXVST) end

for index, position in string.gmatch(os.getenv("ZR_KNOBS") or "", "(%d+)=([%d.eE+-]+)") do
    if not ARDOUR.LuaAPI.set_processor_param(proc, tonumber(index), tonumber(position)) then
        fail("cannot set parameter " .. index)
    end
end

-- One line per control input, with its range: "param index label value lower upper log|lin". The index
-- counts control inputs (what set_processor_param takes), the label and range are looked up by port.
local index = 0
for port = 0, plugin:parameter_count() - 1 do
    if plugin:parameter_is_control(port) and plugin:parameter_is_input(port) then
        local range = ARDOUR.ParameterDescriptor()
        plugin:get_parameter_descriptor(port, range)
        report:write(string.format("param\t%d\t%s\t%.9g\t%.9g\t%.9g\t%s\n", index, plugin:parameter_label(port),
            ARDOUR.LuaAPI.get_processor_param(proc, index), range.lower, range.upper,
            range.logarithmic and "log" or "lin"))
        index = index + 1
    end
end
-- The audio inputs as Ardour's descriptor shows them: "input index name is_sidechain".
local inputs = plugin:get_info().n_inputs:n_audio()
for i = 0, inputs - 1 do
    local port = plugin:describe_io_port(ARDOUR.DataType("audio"), true, i)
    report:write(string.format("input\t%d\t%s\t%s\n", i, port.name, tostring(port.is_sidechain)))
end
-- Then the outputs (meters), by port: "meter port label lower upper", and each input's unit, step and
-- default: "desc port label unit toggled integer_step default".
for port = 0, plugin:parameter_count() - 1 do
    local range = ARDOUR.ParameterDescriptor()
    plugin:get_parameter_descriptor(port, range)
    if plugin:parameter_is_control(port) and plugin:parameter_is_output(port) then
        report:write(string.format("meter\t%d\t%s\t%.9g\t%.9g\n", port, plugin:parameter_label(port), range.lower,
            range.upper))
    elseif plugin:parameter_is_control(port) and plugin:parameter_is_input(port) then
        report:write(string.format("desc\t%d\t%s\t%s\t%s\t%s\t%.9g\n", port, plugin:parameter_label(port),
            range.label, tostring(range.toggled), tostring(range.integer_step), range.normal))
    end
end

-- The engine processes even with the transport stopped; on a loaded machine it may take a while.
local settle = tonumber(os.getenv("ZR_SETTLE_FRAMES") or "0")
local start, waited = AudioEngine:processed_samples(), 0
while AudioEngine:processed_samples() - start < settle do
    if waited >= 10000 then fail("the engine processed nothing for 10 s") end
    ARDOUR.LuaAPI.usleep(10000)
    waited = waited + 10
end

if Session:save_state("", false, false, false, false, false) ~= 0 then fail("cannot save") end
close_session()
report:write("done\n")
report:close()
