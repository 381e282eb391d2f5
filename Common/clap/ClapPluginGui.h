#pragma once
// The editor's side of a CLAP plug-in, built in a library of its own so that the adaptor builds where no
// window can be shown: the extensions it implements (clap.gui and what that needs), which the adaptor offers
// beside its own. The adaptor owns it and ends it before anything else of the plug-in.

class ClapPluginGui
{
public:
    virtual ~ClapPluginGui() = default;
    // The table of one of its extensions by CLAP ID, null for any other ID.
    virtual const void* extension(const char* id) const noexcept = 0;
};
