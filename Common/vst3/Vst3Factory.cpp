#include "Common/vst3/Vst3Factory.h"

#include "Common/vst3/Vst3Text.h"

#include <cstring>
#include <new>

using namespace vst3;

Vst3Factory::Vst3Factory(const MusicPluginVst3Adaptor::Descriptor& descriptor, const char* email)
    : descriptor(descriptor), email(email)
{}

tresult Vst3Factory::queryInterface(const TUID iid, void** obj)
{
    if (obj == nullptr) return kInvalidArgument;
    *obj = nullptr;
    if (iid == nullptr) return kInvalidArgument;
    if (!FUnknown::iid.matches(iid) && !IPluginFactory::iid.matches(iid) &&
        !IPluginFactory2::iid.matches(iid))
        return kNoInterface;
    *obj = this;
    addRef();
    return kResultOk;
}

std::uint32_t Vst3Factory::addRef()
{
    return references.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::uint32_t Vst3Factory::release()
{
    // Static storage: the count only tells hosts what they hold. It never goes below the module's own.
    std::uint32_t count = references.load(std::memory_order_relaxed);
    while (count > 1 && !references.compare_exchange_weak(count, count - 1, std::memory_order_relaxed))
        ;
    return count > 1 ? count - 1 : 1;
}

tresult Vst3Factory::getFactoryInfo(PFactoryInfo* info)
{
    if (info == nullptr) return kInvalidArgument;
    copyToChars(descriptor.vendor, info->vendor, sizeof info->vendor);
    copyToChars("", info->url, sizeof info->url);
    copyToChars(email, info->email, sizeof info->email);
    info->flags = PFactoryInfo::kUnicode;
    return kResultOk;
}

std::int32_t Vst3Factory::countClasses()
{
    return 1;
}

tresult Vst3Factory::getClassInfo(std::int32_t index, PClassInfo* info)
{
    if (info == nullptr) return kInvalidArgument;
    // The first fields of the longer record are this one's.
    PClassInfo2 full{};
    const tresult result = getClassInfo2(index, &full);
    if (result != kResultOk) return result;
    std::memcpy(info->cid, full.cid, sizeof info->cid);
    info->cardinality = full.cardinality;
    std::memcpy(info->category, full.category, sizeof info->category);
    std::memcpy(info->name, full.name, sizeof info->name);
    return kResultOk;
}

tresult Vst3Factory::getClassInfo2(std::int32_t index, PClassInfo2* info)
{
    if (info == nullptr) return kInvalidArgument;
    if (index != 0) return kInvalidArgument;
    std::memcpy(info->cid, descriptor.classId.bytes, sizeof(TUID));
    info->cardinality = PClassInfo::kManyInstances;
    copyToChars(kVstAudioEffectClass, info->category, sizeof info->category);
    copyToChars(descriptor.name, info->name, sizeof info->name);
    // Processor and controller are one object: not distributable.
    info->classFlags = 0;
    copyToChars(descriptor.subCategories, info->subCategories, sizeof info->subCategories);
    copyToChars(descriptor.vendor, info->vendor, sizeof info->vendor);
    copyToChars(descriptor.version, info->version, sizeof info->version);
    copyToChars(kVstVersionString, info->sdkVersion, sizeof info->sdkVersion);
    return kResultOk;
}

tresult Vst3Factory::createInstance(FIDString cid, FIDString iid, void** obj)
{
    if (obj == nullptr) return kInvalidArgument;
    *obj = nullptr;
    if (cid == nullptr || iid == nullptr) return kInvalidArgument;
    if (!descriptor.classId.matches(cid)) return kNoInterface;
    MusicPluginVst3Adaptor* adaptor = nullptr;
    try {
        adaptor = new MusicPluginVst3Adaptor(descriptor);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (...) {
        return kInternalError;
    }
    // The host's reference comes from queryInterface; ours goes, so a refused interface frees it again.
    const tresult result = adaptor->queryInterface(iid, obj);
    adaptor->release();
    return result;
}
