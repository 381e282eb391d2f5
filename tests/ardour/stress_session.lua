-- Loads a session and, while Ardour's engine runs the plug-in on its process thread with the transport
-- rolling, moves the plug-in's knobs, switches it off and on and saves the session over and over from
-- this thread: every save takes the plug-in's chunk while audio blocks keep arriving. Writes the transport's progress to the
-- report, so the caller can tell that audio was processed all along.
-- Environment: ZR_SESSION_DIR, ZR_SESSION_NAME, ZR_PLUGIN, ZR_ROUNDS, ZR_SNAPSHOT (saved last), ZR_REPORT.

local function fail(message)
    io.stderr:write("stress_session.lua: " .. message .. "\n")
    os.exit(1)
end

local report = io.open(os.getenv("ZR_REPORT"), "w") or fail("cannot write the report")
local rounds = tonumber(os.getenv("ZR_ROUNDS") or "100")
AudioEngine:set_backend("None (Dummy)", "", "")
-- Small blocks: many more audio blocks, and so more of them overlap a save.
AudioEngine:set_buffer_size(tonumber(os.getenv("ZR_BLOCK") or "1024"))
if not load_session(os.getenv("ZR_SESSION_DIR"), os.getenv("ZR_SESSION_NAME")) then
    fail("cannot load the session")
end

local proc = nil
for route in Session:get_routes():iter() do
    local candidate = route:nth_plugin(0)
    if not candidate:isnil() and candidate:display_name() == os.getenv("ZR_PLUGIN") then proc = candidate end
end
if not proc then fail("no plug-in named " .. os.getenv("ZR_PLUGIN")) end
-- The control inputs' ranges, by control index: a knob position maps onto its range (VST 2: 0..1 itself,
-- LV2: the port's own units).
local plugin = proc:to_insert():plugin(0)
local ranges = {}
for port = 0, plugin:parameter_count() - 1 do
    if plugin:parameter_is_control(port) and plugin:parameter_is_input(port) then
        local range = ARDOUR.ParameterDescriptor()
        plugin:get_parameter_descriptor(port, range)
        ranges[#ranges + 1] = range
    end
end

Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
local start = Session:transport_sample()
local clock = os.time()

-- The same pseudo-random sequence every run (Lua's own generator differs between builds).
local seed = 12345
local function next_position()
    seed = (seed * 1103515245 + 12345) % 2147483648
    return seed / 2147483647
end

for round = 1, rounds do
    for i, range in ipairs(ranges) do
        local value = range.lower + next_position() * (range.upper - range.lower)
        ARDOUR.LuaAPI.set_processor_param(proc, i - 1, value)
    end
    -- Now and then switch the plug-in off and on again, which suspends and resumes it mid-stream.
    if round % 20 == 10 then proc:deactivate() end
    if round % 20 == 11 then proc:activate() end
    if Session:save_state("stress", false, false, false, false, false) ~= 0 then fail("cannot save") end
    ARDOUR.LuaAPI.usleep(10000)
end

local rolled = Session:transport_rolling()
local advanced = Session:transport_sample() - start
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(100000)
if Session:save_state(os.getenv("ZR_SNAPSHOT"), false, false, false, false, false) ~= 0 then
    fail("cannot save")
end
report:write(string.format("rounds %d\nrolling %s\nadvanced %d\nseconds %d\n", rounds, tostring(rolled),
    advanced, os.time() - clock))
close_session()
report:write("done\n")
report:close()
