#include "Common/musicplugin/Param.h"

#include "Common/musicplugin/ParamList.h"

#include <utility>

Param::Param(ParamList* list, std::string saveName, std::string displayName, std::string displayLabel)
    : saveName_(std::move(saveName)), displayName_(std::move(displayName)),
      displayLabel_(std::move(displayLabel))
{
    // Only the Param part exists yet; the list merely stores the pointer.
    if (list != nullptr) list->add(this);
}

Param::~Param() = default;

std::string Param::getSaveName() const
{
    return saveName_;
}

std::string Param::getDisplayName() const
{
    return displayName_;
}

std::string Param::getDisplayLabel() const
{
    return displayLabel_;
}

void Param::addKnobListener(ValueListener<double>* listener)
{
    if (listener == nullptr) return;
    listener->valueChanged(getKnobPos());
    knobListeners_.addValueListener(listener);
}

void Param::removeKnobListener(ValueListener<double>* listener)
{
    knobListeners_.removeValueListener(listener);
}

void Param::notifyKnobListeners()
{
    knobListeners_.valueChanged(getKnobPos());
}
