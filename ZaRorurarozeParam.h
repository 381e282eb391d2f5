#pragma once
// The plug-in's parameters by index, in the order it lists them: the VST 2 parameter indices and the order
// of the LV2 control ports (the first eleven after the four audio ports, later ones after the meters and the
// key ports). Hosts and stored chunks rely on this order, so it only ever grows at the end. Header-only, for
// tests, tools and benchmarks that talk to the binary and link none of the plug-in's code.

struct ZaRorurarozeParam
{
    enum Index : int
    {
        sidechainHighpassCutoff,
        sidechainLowpassCutoff,
        sidechainListen,
        drive,
        attack,
        release,
        hilbert,
        threshold,
        ratio,
        outputGain,
        mix,
        // The VST 2 plug-in's eleven.
        count,
        // Only in the builds whose formats can carry a key signal (LV2, VST3, CLAP, JACK): whether the
        // detector listens to the plug-in's own input (0) or to the key (1).
        sidechainSource = count,
        countWithKey
    };
};

// The plug-in's meters by index: the order of its meter list and, after the control ports, of the LV2
// output ports. Only ever grows at the end.
struct ZaRorurarozeMeter
{
    enum Index : int
    {
        gainReduction, // dB of reduction, 0 to 60
        inputLevel,    // peak dBFS of both input channels
        outputLevel,   // peak dBFS of both output channels
        firstBand,     // the detector's 33 band levels, lowest band first
        count = firstBand + 33
    };
};
