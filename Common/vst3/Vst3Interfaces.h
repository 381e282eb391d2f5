#pragma once
// Our declarations of the published VST 3 interfaces that an audio effect and its host exchange: the
// plug-in factory, the component with its audio processor and edit controller, the host's streams and
// parameter queues, and the editor view with its frame (and, on Linux, the host's run loop). Written from
// the published interface definitions; interface IDs, method order and record layouts are the interface's
// binary facts and must never change.
//
// ABI notes. Every interface is a pointer to a table of functions in the order declared, starting with
// queryInterface, addRef and release; there are no virtual destructors. Windows differs from Linux in three
// ways: result codes are COM's, the first eight bytes of an ID are in GUID byte order, and records are
// packed to 8 (32-bit) or 16 (64-bit) bytes, which changes nothing for the layouts here; 32-bit Windows
// also calls every method with __stdcall.

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#define ZR_VST3_COM_COMPATIBLE 1
#define ZR_VST3_API __stdcall
#else
#define ZR_VST3_COM_COMPATIBLE 0
#define ZR_VST3_API
#endif

#if defined(_WIN32)
#pragma pack(push)
#if defined(_WIN64)
#pragma pack(16)
#else
#pragma pack(8)
#endif
#endif

namespace vst3
{
typedef std::int32_t tresult;
typedef std::uint8_t TBool;
typedef char TUID[16];
// A C string naming something: class and interface IDs in createInstance, view types.
typedef const char* FIDString;
typedef char16_t TChar;
typedef TChar String128[128];
typedef std::uint32_t ParamID;
typedef double ParamValue;
typedef std::int32_t MediaType;
typedef std::int32_t BusDirection;
typedef std::int32_t BusType;
typedef std::int32_t IoMode;
typedef std::uint64_t SpeakerArrangement;

#if ZR_VST3_COM_COMPATIBLE
enum : tresult
{
    kNoInterface = static_cast<tresult>(0x80004002u),
    kResultOk = 0,
    kResultTrue = kResultOk,
    kResultFalse = 1,
    kInvalidArgument = static_cast<tresult>(0x80070057u),
    kNotImplemented = static_cast<tresult>(0x80004001u),
    kInternalError = static_cast<tresult>(0x80004005u),
    kNotInitialized = static_cast<tresult>(0x8000FFFFu),
    kOutOfMemory = static_cast<tresult>(0x8007000Eu),
};
#else
enum : tresult
{
    kNoInterface = -1,
    kResultOk = 0,
    kResultTrue = kResultOk,
    kResultFalse = 1,
    kInvalidArgument = 2,
    kNotImplemented = 3,
    kInternalError = 4,
    kNotInitialized = 5,
    kOutOfMemory = 6,
};
#endif

// An interface or class ID, from its four 32-bit words as the definitions write them.
struct Uid
{
    char bytes[16];

    bool matches(const char* other) const { return other != nullptr && std::memcmp(bytes, other, 16) == 0; }
};

constexpr char uidByte(std::uint32_t word, int shift)
{
    return static_cast<char>(static_cast<unsigned char>((word >> shift) & 0xFFu));
}

constexpr Uid makeUid(std::uint32_t l1, std::uint32_t l2, std::uint32_t l3, std::uint32_t l4)
{
#if ZR_VST3_COM_COMPATIBLE
    return Uid{{uidByte(l1, 0), uidByte(l1, 8), uidByte(l1, 16), uidByte(l1, 24), uidByte(l2, 16),
                uidByte(l2, 24), uidByte(l2, 0), uidByte(l2, 8), uidByte(l3, 24), uidByte(l3, 16),
                uidByte(l3, 8), uidByte(l3, 0), uidByte(l4, 24), uidByte(l4, 16), uidByte(l4, 8),
                uidByte(l4, 0)}};
#else
    return Uid{{uidByte(l1, 24), uidByte(l1, 16), uidByte(l1, 8), uidByte(l1, 0), uidByte(l2, 24),
                uidByte(l2, 16), uidByte(l2, 8), uidByte(l2, 0), uidByte(l3, 24), uidByte(l3, 16),
                uidByte(l3, 8), uidByte(l3, 0), uidByte(l4, 24), uidByte(l4, 16), uidByte(l4, 8),
                uidByte(l4, 0)}};
#endif
}

// --- base ---

class FUnknown
{
public:
    virtual tresult ZR_VST3_API queryInterface(const TUID iid, void** obj) = 0;
    virtual std::uint32_t ZR_VST3_API addRef() = 0;
    virtual std::uint32_t ZR_VST3_API release() = 0;
    static constexpr Uid iid = makeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
};

class IPluginBase : public FUnknown
{
public:
    virtual tresult ZR_VST3_API initialize(FUnknown* context) = 0;
    virtual tresult ZR_VST3_API terminate() = 0;
    static constexpr Uid iid = makeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
};

class IBStream : public FUnknown
{
public:
    enum SeekMode : std::int32_t
    {
        kIBSeekSet = 0,
        kIBSeekCur,
        kIBSeekEnd
    };
    virtual tresult ZR_VST3_API read(void* buffer, std::int32_t numBytes, std::int32_t* numBytesRead) = 0;
    virtual tresult ZR_VST3_API write(void* buffer, std::int32_t numBytes, std::int32_t* numBytesWritten) = 0;
    virtual tresult ZR_VST3_API seek(std::int64_t pos, std::int32_t mode, std::int64_t* result) = 0;
    virtual tresult ZR_VST3_API tell(std::int64_t* pos) = 0;
    static constexpr Uid iid = makeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
};

// --- factory ---

struct PFactoryInfo
{
    enum : std::int32_t
    {
        kNoFlags = 0,
        kUnicode = 1 << 4
    };
    char vendor[64];
    char url[256];
    char email[128];
    std::int32_t flags;
};

struct PClassInfo
{
    enum : std::int32_t
    {
        kManyInstances = 0x7FFFFFFF
    };
    TUID cid;
    std::int32_t cardinality;
    char category[32];
    char name[64];
};

struct PClassInfo2
{
    TUID cid;
    std::int32_t cardinality;
    char category[32];
    char name[64];
    std::uint32_t classFlags;
    char subCategories[128];
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};

class IPluginFactory : public FUnknown
{
public:
    virtual tresult ZR_VST3_API getFactoryInfo(PFactoryInfo* info) = 0;
    virtual std::int32_t ZR_VST3_API countClasses() = 0;
    virtual tresult ZR_VST3_API getClassInfo(std::int32_t index, PClassInfo* info) = 0;
    virtual tresult ZR_VST3_API createInstance(FIDString cid, FIDString iid, void** obj) = 0;
    static constexpr Uid iid = makeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
};

class IPluginFactory2 : public IPluginFactory
{
public:
    virtual tresult ZR_VST3_API getClassInfo2(std::int32_t index, PClassInfo2* info) = 0;
    static constexpr Uid iid = makeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
};

// The category of an audio processor's class, and the version of the interfaces declared here.
constexpr const char* kVstAudioEffectClass = "Audio Module Class";
constexpr const char* kVstVersionString = "VST 3.7.2";

// --- component ---

enum MediaTypes : MediaType
{
    kAudio = 0,
    kEvent
};

enum BusDirections : BusDirection
{
    kInput = 0,
    kOutput
};

enum BusTypes : BusType
{
    kMain = 0,
    kAux
};

struct BusInfo
{
    enum : std::uint32_t
    {
        kDefaultActive = 1 << 0
    };
    MediaType mediaType;
    BusDirection direction;
    std::int32_t channelCount;
    String128 name;
    BusType busType;
    std::uint32_t flags;
};

struct RoutingInfo
{
    MediaType mediaType;
    std::int32_t busIndex;
    std::int32_t channel;
};

class IComponent : public IPluginBase
{
public:
    virtual tresult ZR_VST3_API getControllerClassId(TUID classId) = 0;
    virtual tresult ZR_VST3_API setIoMode(IoMode mode) = 0;
    virtual std::int32_t ZR_VST3_API getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult ZR_VST3_API getBusInfo(MediaType type, BusDirection dir, std::int32_t index,
                                           BusInfo& bus) = 0;
    virtual tresult ZR_VST3_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
    virtual tresult ZR_VST3_API activateBus(MediaType type, BusDirection dir, std::int32_t index,
                                            TBool state) = 0;
    virtual tresult ZR_VST3_API setActive(TBool state) = 0;
    virtual tresult ZR_VST3_API setState(IBStream* state) = 0;
    virtual tresult ZR_VST3_API getState(IBStream* state) = 0;
    static constexpr Uid iid = makeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
};

// --- audio processor ---

namespace SpeakerArr
{
constexpr SpeakerArrangement kMono = 1ull << 19;
constexpr SpeakerArrangement kStereo = (1ull << 0) | (1ull << 1);
} // namespace SpeakerArr

enum SymbolicSampleSizes : std::int32_t
{
    kSample32 = 0,
    kSample64
};

enum ProcessModes : std::int32_t
{
    kRealtime = 0,
    kPrefetch,
    kOffline
};

struct ProcessSetup
{
    std::int32_t processMode;
    std::int32_t symbolicSampleSize;
    std::int32_t maxSamplesPerBlock;
    double sampleRate;
};

struct AudioBusBuffers
{
    std::int32_t numChannels;
    std::uint64_t silenceFlags;
    union {
        float** channelBuffers32;
        double** channelBuffers64;
    };
};

class IParameterChanges;
class IEventList;
struct ProcessContext;

struct ProcessData
{
    std::int32_t processMode;
    std::int32_t symbolicSampleSize;
    std::int32_t numSamples;
    std::int32_t numInputs;
    std::int32_t numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};

struct Chord
{
    std::uint8_t keyNote;
    std::uint8_t rootNote;
    std::int16_t chordMask;
};

struct FrameRate
{
    std::uint32_t framesPerSecond;
    std::uint32_t flags;
};

struct ProcessContext
{
    enum : std::uint32_t
    {
        kPlaying = 1 << 1,
        kTempoValid = 1 << 10
    };
    std::uint32_t state;
    double sampleRate;
    std::int64_t projectTimeSamples;
    std::int64_t systemTime;
    std::int64_t continousTimeSamples;
    double projectTimeMusic;
    double barPositionMusic;
    double cycleStartMusic;
    double cycleEndMusic;
    double tempo;
    std::int32_t timeSigNumerator;
    std::int32_t timeSigDenominator;
    Chord chord;
    std::int32_t smpteOffsetSubframes;
    FrameRate frameRate;
    std::int32_t samplesToNextClock;
};

class IAudioProcessor : public FUnknown
{
public:
    virtual tresult ZR_VST3_API setBusArrangements(SpeakerArrangement* inputs, std::int32_t numIns,
                                                   SpeakerArrangement* outputs, std::int32_t numOuts) = 0;
    virtual tresult ZR_VST3_API getBusArrangement(BusDirection dir, std::int32_t index,
                                                  SpeakerArrangement& arr) = 0;
    virtual tresult ZR_VST3_API canProcessSampleSize(std::int32_t symbolicSampleSize) = 0;
    virtual std::uint32_t ZR_VST3_API getLatencySamples() = 0;
    virtual tresult ZR_VST3_API setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult ZR_VST3_API setProcessing(TBool state) = 0;
    virtual tresult ZR_VST3_API process(ProcessData& data) = 0;
    virtual std::uint32_t ZR_VST3_API getTailSamples() = 0;
    static constexpr Uid iid = makeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
};

class IProcessContextRequirements : public FUnknown
{
public:
    enum : std::uint32_t
    {
        kNeedTempo = 1 << 6
    };
    virtual std::uint32_t ZR_VST3_API getProcessContextRequirements() = 0;
    static constexpr Uid iid = makeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
};

class IParamValueQueue : public FUnknown
{
public:
    virtual ParamID ZR_VST3_API getParameterId() = 0;
    virtual std::int32_t ZR_VST3_API getPointCount() = 0;
    virtual tresult ZR_VST3_API getPoint(std::int32_t index, std::int32_t& sampleOffset,
                                         ParamValue& value) = 0;
    virtual tresult ZR_VST3_API addPoint(std::int32_t sampleOffset, ParamValue value,
                                         std::int32_t& index) = 0;
    static constexpr Uid iid = makeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
};

class IParameterChanges : public FUnknown
{
public:
    virtual std::int32_t ZR_VST3_API getParameterCount() = 0;
    virtual IParamValueQueue* ZR_VST3_API getParameterData(std::int32_t index) = 0;
    virtual IParamValueQueue* ZR_VST3_API addParameterData(const ParamID& id, std::int32_t& index) = 0;
    static constexpr Uid iid = makeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
};

// --- edit controller ---

struct ParameterInfo
{
    enum : std::int32_t
    {
        kNoFlags = 0,
        kCanAutomate = 1 << 0,
        kIsReadOnly = 1 << 1,
        kIsWrapAround = 1 << 2,
        kIsList = 1 << 3,
        kIsHidden = 1 << 4,
        kIsProgramChange = 1 << 15,
        kIsBypass = 1 << 16
    };
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    std::int32_t stepCount;
    ParamValue defaultNormalizedValue;
    std::int32_t unitId;
    std::int32_t flags;
};

enum RestartFlags : std::int32_t
{
    kReloadComponent = 1 << 0,
    kIoChanged = 1 << 1,
    kParamValuesChanged = 1 << 2,
    kLatencyChanged = 1 << 3,
    kParamTitlesChanged = 1 << 4
};

class IComponentHandler : public FUnknown
{
public:
    virtual tresult ZR_VST3_API beginEdit(ParamID id) = 0;
    virtual tresult ZR_VST3_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult ZR_VST3_API endEdit(ParamID id) = 0;
    virtual tresult ZR_VST3_API restartComponent(std::int32_t flags) = 0;
    static constexpr Uid iid = makeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
};

class IPlugView;

class IEditController : public IPluginBase
{
public:
    virtual tresult ZR_VST3_API setComponentState(IBStream* state) = 0;
    virtual tresult ZR_VST3_API setState(IBStream* state) = 0;
    virtual tresult ZR_VST3_API getState(IBStream* state) = 0;
    virtual std::int32_t ZR_VST3_API getParameterCount() = 0;
    virtual tresult ZR_VST3_API getParameterInfo(std::int32_t paramIndex, ParameterInfo& info) = 0;
    virtual tresult ZR_VST3_API getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                      String128 string) = 0;
    virtual tresult ZR_VST3_API getParamValueByString(ParamID id, TChar* string,
                                                      ParamValue& valueNormalized) = 0;
    virtual ParamValue ZR_VST3_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
    virtual ParamValue ZR_VST3_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
    virtual ParamValue ZR_VST3_API getParamNormalized(ParamID id) = 0;
    virtual tresult ZR_VST3_API setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult ZR_VST3_API setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* ZR_VST3_API createView(FIDString name) = 0;
    static constexpr Uid iid = makeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
};

// The one view type createView is asked for.
constexpr const char* kEditorViewType = "editor";

// --- editor view ---

struct ViewRect
{
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// Window systems a view may be attached to; the parent handed to attached() is of this kind.
constexpr const char* kPlatformTypeHWND = "HWND";
constexpr const char* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";

class IPlugFrame;

class IPlugView : public FUnknown
{
public:
    virtual tresult ZR_VST3_API isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult ZR_VST3_API attached(void* parent, FIDString type) = 0;
    virtual tresult ZR_VST3_API removed() = 0;
    virtual tresult ZR_VST3_API onWheel(float distance) = 0;
    virtual tresult ZR_VST3_API onKeyDown(char16_t key, std::int16_t keyCode, std::int16_t modifiers) = 0;
    virtual tresult ZR_VST3_API onKeyUp(char16_t key, std::int16_t keyCode, std::int16_t modifiers) = 0;
    virtual tresult ZR_VST3_API getSize(ViewRect* size) = 0;
    virtual tresult ZR_VST3_API onSize(ViewRect* newSize) = 0;
    virtual tresult ZR_VST3_API onFocus(TBool state) = 0;
    virtual tresult ZR_VST3_API setFrame(IPlugFrame* frame) = 0;
    virtual tresult ZR_VST3_API canResize() = 0;
    virtual tresult ZR_VST3_API checkSizeConstraint(ViewRect* rect) = 0;
    static constexpr Uid iid = makeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
};

class IPlugFrame : public FUnknown
{
public:
    virtual tresult ZR_VST3_API resizeView(IPlugView* view, ViewRect* newSize) = 0;
    static constexpr Uid iid = makeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
};

#if !defined(_WIN32)
// Linux has no common event loop: the host's frame offers its own (IRunLoop, queried from the IPlugFrame)
// for the view's timers and for the file descriptor of its display connection.
class IEventHandler : public FUnknown
{
public:
    virtual void ZR_VST3_API onFDIsSet(int fd) = 0;
    static constexpr Uid iid = makeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
};

class ITimerHandler : public FUnknown
{
public:
    virtual void ZR_VST3_API onTimer() = 0;
    static constexpr Uid iid = makeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
};

class IRunLoop : public FUnknown
{
public:
    virtual tresult ZR_VST3_API registerEventHandler(IEventHandler* handler, int fd) = 0;
    virtual tresult ZR_VST3_API unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult ZR_VST3_API registerTimer(ITimerHandler* handler, std::uint64_t milliseconds) = 0;
    virtual tresult ZR_VST3_API unregisterTimer(ITimerHandler* handler) = 0;
    static constexpr Uid iid = makeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
};
#endif

// The layouts hosts rely on, as the published definitions give them on 64-bit targets and 32-bit Windows
// (32-bit Linux aligns 64-bit members to 4 bytes, as its hosts do too).
#if defined(_WIN32) || UINTPTR_MAX > 0xFFFFFFFFu
static_assert(sizeof(PFactoryInfo) == 452, "PFactoryInfo");
static_assert(sizeof(PClassInfo) == 116, "PClassInfo");
static_assert(sizeof(PClassInfo2) == 440, "PClassInfo2");
static_assert(offsetof(BusInfo, busType) == 268 && sizeof(BusInfo) == 276, "BusInfo");
static_assert(offsetof(ProcessSetup, sampleRate) == 16 && sizeof(ProcessSetup) == 24, "ProcessSetup");
static_assert(offsetof(AudioBusBuffers, silenceFlags) == 8 &&
                  offsetof(AudioBusBuffers, channelBuffers32) == 16 && sizeof(AudioBusBuffers) == 24,
              "AudioBusBuffers");
static_assert(offsetof(ProcessData, inputs) == (sizeof(void*) == 8 ? 24 : 20) &&
                  sizeof(ProcessData) == (sizeof(void*) == 8 ? 80 : 48),
              "ProcessData");
static_assert(offsetof(ProcessContext, tempo) == 72 && offsetof(ProcessContext, samplesToNextClock) == 104 &&
                  sizeof(ProcessContext) == 112,
              "ProcessContext");
static_assert(offsetof(ParameterInfo, stepCount) == 772 &&
                  offsetof(ParameterInfo, defaultNormalizedValue) == 776 && sizeof(ParameterInfo) == 792,
              "ParameterInfo");
#endif
static_assert(sizeof(ViewRect) == 16, "ViewRect");
} // namespace vst3

#if defined(_WIN32)
#pragma pack(pop)
#endif
