-- Loads a session and, with Ardour's engine running the named plug-in, either rolls the transport and
-- reads the plug-in's output parameters (meters) for about a second, reporting "meter port largest" per
-- output, or loads a preset of the plug-in by the label Ardour lists it under, lets the engine run a few
-- cycles and saves a new snapshot, reporting "preset URI".
-- Environment: ZR_SESSION_DIR, ZR_SESSION_NAME, ZR_PLUGIN, ZR_ACTION (meter or preset), ZR_REPORT, and
-- for a preset ZR_PRESET (the label) and ZR_SNAPSHOT.

local function fail(message)
    io.stderr:write("plugin_session.lua: " .. message .. "\n")
    os.exit(1)
end

local report = io.open(os.getenv("ZR_REPORT"), "w") or fail("cannot write the report")
AudioEngine:set_backend("None (Dummy)", "", "")
if not load_session(os.getenv("ZR_SESSION_DIR"), os.getenv("ZR_SESSION_NAME")) then
    fail("cannot load the session")
end
-- The plug-in may sit behind another (the unity probe): every insert of every route is looked at.
local proc = nil
for route in Session:get_routes():iter() do
    local i = 0
    while not route:nth_plugin(i):isnil() do
        if route:nth_plugin(i):display_name() == os.getenv("ZR_PLUGIN") then proc = route:nth_plugin(i) end
        i = i + 1
    end
end
if not proc then fail("no plug-in named " .. os.getenv("ZR_PLUGIN")) end
local plugin = proc:to_insert():plugin(0)

if os.getenv("ZR_ACTION") == "meter" then
    Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
    local largest = {}
    for _ = 1, 50 do
        ARDOUR.LuaAPI.usleep(20000)
        for port = 0, plugin:parameter_count() - 1 do
            if plugin:parameter_is_control(port) and plugin:parameter_is_output(port) then
                local value = ARDOUR.LuaAPI.get_processor_param(proc, port)
                if not largest[port] or value > largest[port] then largest[port] = value end
            end
        end
    end
    Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
    for port, value in pairs(largest) do report:write(string.format("meter\t%d\t%.9g\n", port, value)) end
elseif os.getenv("ZR_ACTION") == "preset" then
    local preset = plugin:preset_by_label(os.getenv("ZR_PRESET"))
    if not preset then fail("Ardour lists no preset " .. os.getenv("ZR_PRESET")) end
    report:write(string.format("preset\t%s\n", preset.uri))
    if not plugin:load_preset(preset) then fail("cannot load the preset") end
    local start = AudioEngine:processed_samples()
    while AudioEngine:processed_samples() - start < 4096 do ARDOUR.LuaAPI.usleep(10000) end
    if Session:save_state(os.getenv("ZR_SNAPSHOT"), false, false, false, false, false) ~= 0 then
        fail("cannot save")
    end
else
    fail("ZR_ACTION must be meter or preset")
end
close_session()
report:write("done\n")
report:close()
