#pragma once
// Presents one MusicPlugin to a VST 3 host as a single object that is the component, its audio processor
// and its edit controller at once (hosts accept such a "single component" effect). It only translates: the
// audio side is Vst3Processor's, parameters, texts and the state Vst3Controller's, the descriptions
// Vst3ParamTable's. Reference counts are shared by every interface of the object, so a host may release
// them in any order.
//
// Threads: process on the audio thread (never locked); everything else on the host's other threads.
// Nothing leaves a host call as an exception; calls before initialize or after terminate are refused.

#include "Common/vst3/Vst3Controller.h"
#include "Common/vst3/Vst3Interfaces.h"
#include "Common/vst3/Vst3ParamTable.h"
#include "Common/vst3/Vst3Processor.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MusicPlugin;

// IComponent and IEditController both declare setState and getState with the same signature, which one
// C++ object could not tell apart; these two bases take the calls of each interface and pass them on
// under names of their own.
class Vst3ComponentStates : public vst3::IComponent
{
public:
    vst3::tresult ZR_VST3_API setState(vst3::IBStream* state) final { return loadComponentState(state); }
    vst3::tresult ZR_VST3_API getState(vst3::IBStream* state) final { return saveComponentState(state); }

protected:
    virtual vst3::tresult loadComponentState(vst3::IBStream* state) = 0;
    virtual vst3::tresult saveComponentState(vst3::IBStream* state) = 0;
};

class Vst3ControllerStates : public vst3::IEditController
{
public:
    vst3::tresult ZR_VST3_API setState(vst3::IBStream* state) final { return loadControllerState(state); }
    vst3::tresult ZR_VST3_API getState(vst3::IBStream* state) final { return saveControllerState(state); }

protected:
    virtual vst3::tresult loadControllerState(vst3::IBStream* state) = 0;
    virtual vst3::tresult saveControllerState(vst3::IBStream* state) = 0;
};

class MusicPluginVst3Adaptor final : public Vst3ComponentStates,
                                     public vst3::IAudioProcessor,
                                     public Vst3ControllerStates,
                                     public vst3::IProcessContextRequirements
{
public:
    // What the factory tells hosts about the one effect class, and how to make its plug-in.
    struct Descriptor
    {
        vst3::Uid classId;
        std::string name;
        std::string vendor;
        std::string subCategories; // "Fx|Dynamics" and the like
        std::string version;
        MusicPlugin* (*createPlugin)();
        // The editor seam: the plug-in's own view over this adaptor, or null while it has none. It is
        // asked only for the "editor" view type, and the view must not outlive the adaptor.
        vst3::IPlugView* (*createView)(MusicPluginVst3Adaptor& adaptor);
    };

    // Sample rates setupProcessing accepts, Hz; others are refused as damaged host input.
    static constexpr double lowestSampleRate = 1000.0;
    static constexpr double highestSampleRate = 1536000.0;

    // Starts with one reference, the creator's. May throw.
    explicit MusicPluginVst3Adaptor(const Descriptor& descriptor);

    // FUnknown
    vst3::tresult ZR_VST3_API queryInterface(const vst3::TUID iid, void** obj) override;
    std::uint32_t ZR_VST3_API addRef() override;
    std::uint32_t ZR_VST3_API release() override;
    // IPluginBase, for the component and the controller alike: each is initialised and terminated once.
    vst3::tresult ZR_VST3_API initialize(vst3::FUnknown* context) override;
    vst3::tresult ZR_VST3_API terminate() override;
    // IComponent
    vst3::tresult ZR_VST3_API getControllerClassId(vst3::TUID classId) override;
    vst3::tresult ZR_VST3_API setIoMode(vst3::IoMode mode) override;
    std::int32_t ZR_VST3_API getBusCount(vst3::MediaType type, vst3::BusDirection dir) override;
    vst3::tresult ZR_VST3_API getBusInfo(vst3::MediaType type, vst3::BusDirection dir, std::int32_t index,
                                         vst3::BusInfo& bus) override;
    vst3::tresult ZR_VST3_API getRoutingInfo(vst3::RoutingInfo& inInfo, vst3::RoutingInfo& outInfo) override;
    vst3::tresult ZR_VST3_API activateBus(vst3::MediaType type, vst3::BusDirection dir, std::int32_t index,
                                          vst3::TBool state) override;
    vst3::tresult ZR_VST3_API setActive(vst3::TBool state) override;
    // IAudioProcessor
    vst3::tresult ZR_VST3_API setBusArrangements(vst3::SpeakerArrangement* inputs, std::int32_t numIns,
                                                 vst3::SpeakerArrangement* outputs,
                                                 std::int32_t numOuts) override;
    vst3::tresult ZR_VST3_API getBusArrangement(vst3::BusDirection dir, std::int32_t index,
                                                vst3::SpeakerArrangement& arr) override;
    vst3::tresult ZR_VST3_API canProcessSampleSize(std::int32_t symbolicSampleSize) override;
    std::uint32_t ZR_VST3_API getLatencySamples() override;
    vst3::tresult ZR_VST3_API setupProcessing(vst3::ProcessSetup& setup) override;
    vst3::tresult ZR_VST3_API setProcessing(vst3::TBool state) override;
    vst3::tresult ZR_VST3_API process(vst3::ProcessData& data) override;
    std::uint32_t ZR_VST3_API getTailSamples() override;
    // IProcessContextRequirements
    std::uint32_t ZR_VST3_API getProcessContextRequirements() override;
    // IEditController
    vst3::tresult ZR_VST3_API setComponentState(vst3::IBStream* state) override;
    std::int32_t ZR_VST3_API getParameterCount() override;
    vst3::tresult ZR_VST3_API getParameterInfo(std::int32_t paramIndex, vst3::ParameterInfo& info) override;
    vst3::tresult ZR_VST3_API getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                                    vst3::String128 string) override;
    vst3::tresult ZR_VST3_API getParamValueByString(vst3::ParamID id, vst3::TChar* string,
                                                    vst3::ParamValue& valueNormalized) override;
    vst3::ParamValue ZR_VST3_API normalizedParamToPlain(vst3::ParamID id,
                                                        vst3::ParamValue valueNormalized) override;
    vst3::ParamValue ZR_VST3_API plainParamToNormalized(vst3::ParamID id,
                                                        vst3::ParamValue plainValue) override;
    vst3::ParamValue ZR_VST3_API getParamNormalized(vst3::ParamID id) override;
    vst3::tresult ZR_VST3_API setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
    vst3::tresult ZR_VST3_API setComponentHandler(vst3::IComponentHandler* handler) override;
    vst3::IPlugView* ZR_VST3_API createView(vst3::FIDString name) override;

    // For the editor: the host's handler for edits (null until the host sets one; hold a reference while
    // using it), and the latest reading of every meter, those meant for the editor only too (any thread).
    vst3::IComponentHandler* componentHandler() const { return handler; }
    double meterReading(int meter) const { return processor.meterReading(meter); }
    MeterFeed& meterFeed() { return processor.meterFeed(); }

protected:
    // The component's state is the plug-in's bank chunk; the controller keeps nothing of its own.
    vst3::tresult loadComponentState(vst3::IBStream* state) override;
    vst3::tresult saveComponentState(vst3::IBStream* state) override;
    vst3::tresult loadControllerState(vst3::IBStream* state) override;
    vst3::tresult saveControllerState(vst3::IBStream* state) override;

private:
    struct Bus
    {
        std::string name;
        int channels;
        vst3::BusType type; // the main bus first, then auxiliary ones (a side-chain), off until activated
        bool active;
    };

    MusicPluginVst3Adaptor(const Descriptor& descriptor, std::unique_ptr<MusicPlugin> shadow);
    ~MusicPluginVst3Adaptor();
    static std::vector<Bus> mainBus(const char* name, int channels);
    // The main input bus and, for a plug-in with key channels, the side-chain bus after it.
    static std::vector<Bus> inputBusesOf(const MusicPlugin& plugin);
    static std::vector<int> channelsOf(const std::vector<Bus>& list);
    bool initialized() const { return initializations.load(std::memory_order_acquire) > 0; }
    std::vector<Bus>* buses(vst3::MediaType type, vst3::BusDirection dir);

    std::atomic<std::uint32_t> references{1};
    const Descriptor& descriptor;
    // A freshly made plug-in describes the parameters.
    Vst3ParamTable table;
    std::vector<Bus> inputBuses;
    std::vector<Bus> outputBuses;
    Vst3Processor processor;
    Vst3Controller controller;
    // The component and the controller are initialised each (hosts initialise both, being one object).
    std::atomic<int> initializations{0};
    vst3::IComponentHandler* handler = nullptr;
};
