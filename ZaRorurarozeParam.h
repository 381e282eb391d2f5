#pragma once
// The plug-in's parameters by index, in the order it lists them: the VST 2 parameter indices, the order of
// the chunk text and, after the four audio ports, of the LV2 control ports. Hosts and stored chunks rely on
// this order, so it only ever grows at the end. Header-only, for tests, tools and benchmarks that talk to
// the binary and link none of the plug-in's code.

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
        count
    };
};
