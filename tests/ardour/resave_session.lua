-- Loads a session in this fresh process, which makes Ardour restore every plug-in from the saved state,
-- and saves it again under another snapshot name, so the restored state can be compared with the saved
-- one. Environment: ZR_SESSION_DIR, ZR_SESSION_NAME, ZR_SNAPSHOT (the new snapshot's name), ZR_REPORT.

local function fail(message)
    io.stderr:write("resave_session.lua: " .. message .. "\n")
    os.exit(1)
end

local report = io.open(os.getenv("ZR_REPORT"), "w") or fail("cannot write the report")
AudioEngine:set_backend("None (Dummy)", "", "")
if not load_session(os.getenv("ZR_SESSION_DIR"), os.getenv("ZR_SESSION_NAME")) then
    fail("cannot load the session")
end
if Session:save_state(os.getenv("ZR_SNAPSHOT"), false, false, false, false, false) ~= 0 then
    fail("cannot save")
end
close_session()
report:write("done\n")
report:close()
