// PeerGain: a CLAP plug-in made by DPF's own CLAP wrapper (Debian's dpf-source), which the test host must
// measure correctly before its results on our plug-in count. Not part of the product.
#pragma once

#define DISTRHO_PLUGIN_BRAND "ZaRoruraroze tests"
#define DISTRHO_PLUGIN_NAME "PeerGain"
#define DISTRHO_PLUGIN_URI "urn:zaroruraroze-tests:peergain"
#define DISTRHO_PLUGIN_CLAP_ID "org.zaroruraroze-tests.peergain"
#define DISTRHO_PLUGIN_CLAP_FEATURES "audio-effect", "stereo"
#define DISTRHO_PLUGIN_HAS_UI 0
#define DISTRHO_PLUGIN_IS_RT_SAFE 1
// Inputs 3 and 4: a stereo side-chain.
#define DISTRHO_PLUGIN_NUM_INPUTS 4
#define DISTRHO_PLUGIN_NUM_OUTPUTS 2
#define DISTRHO_PLUGIN_WANT_STATE 1
