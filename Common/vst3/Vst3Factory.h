#pragma once
// The plug-in factory a VST 3 module hands out from GetPluginFactory: it describes the one effect class of
// a MusicPluginVst3Adaptor::Descriptor and makes its instances. One static factory serves the module; its
// reference count is kept for hosts that check it, but it is never deleted.

#include "Common/vst3/MusicPluginVst3Adaptor.h"
#include "Common/vst3/Vst3Interfaces.h"

#include <atomic>
#include <cstdint>

class Vst3Factory : public vst3::IPluginFactory2
{
public:
    // Factory information beside the class's own; both strings must outlive the module.
    Vst3Factory(const MusicPluginVst3Adaptor::Descriptor& descriptor, const char* email);

    vst3::tresult ZR_VST3_API queryInterface(const vst3::TUID iid, void** obj) override;
    std::uint32_t ZR_VST3_API addRef() override;
    std::uint32_t ZR_VST3_API release() override;
    vst3::tresult ZR_VST3_API getFactoryInfo(vst3::PFactoryInfo* info) override;
    std::int32_t ZR_VST3_API countClasses() override;
    vst3::tresult ZR_VST3_API getClassInfo(std::int32_t index, vst3::PClassInfo* info) override;
    vst3::tresult ZR_VST3_API createInstance(vst3::FIDString cid, vst3::FIDString iid, void** obj) override;
    vst3::tresult ZR_VST3_API getClassInfo2(std::int32_t index, vst3::PClassInfo2* info) override;

private:
    const MusicPluginVst3Adaptor::Descriptor& descriptor;
    const char* email;
    std::atomic<std::uint32_t> references{1};
};
