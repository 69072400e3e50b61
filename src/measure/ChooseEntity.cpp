#include "measure/ChooseEntity.h"

#include "base/UserSeam.h"

namespace kvr {

ChooseEntityLogic::ChooseEntityLogic(const CQRLDoc& doc, bool addMode)
    : doc_(doc), addMode_(addMode) {
    for (MeasuredEntity e : entity::kAll) {
        entities_[static_cast<size_t>(e)].label = EntityChoiceLabel(e);
    }
}

void ChooseEntityLogic::Open() {
    for (MeasuredEntity e : entity::kAll) {
        EntityChoice& c = entities_[static_cast<size_t>(e)];
        c.visible = true;
        c.enabled = true;
    }
    for (MeasuredEntity e :
         {entity::kActiveEnergyImport, entity::kApparentEnergy, entity::kReactiveEnergyLag}) {
        entities_[static_cast<size_t>(e)].enabled = energyAllowed;
    }
    for (MeasuredEntity e : {entity::kActiveEnergyExport, entity::kReactiveEnergyLead}) {
        entities_[static_cast<size_t>(e)].enabled = exportAllowed;
    }
    // The values reply carries no demand power, so a monitor could never show it.
    if (addMode_) {
        entities_[static_cast<size_t>(entity::kActiveDemandPower)].enabled = false;
    }
    // Channel 0's talk version tells which later entities the unit knows.
    const double version = doc_.Channel(0).talkVersion;
    entities_[static_cast<size_t>(entity::kCycleCurrentMax)].visible =
        version >= kCycleCurrentMaxVersion;
    entities_[static_cast<size_t>(entity::kActiveDemandPower)].visible =
        version >= kDemandPowerVersion;

    // The current choices are selected even when disabled (OK then says why they do not
    // fit), but a hidden entity cannot be chosen at all.
    selectedEntity_ = entity::kNone;
    if (entity >= entity::kVoltage && entity <= entity::kLast &&
        entities_[static_cast<size_t>(entity)].visible) {
        selectedEntity_ = entity;
    }
    for (int i = 0; i < kChannelObjects; ++i) {
        channels_[static_cast<size_t>(i)].selected = i == channel;
    }
    Refresh();
}

bool ChooseEntityLogic::SelectEntity(MeasuredEntity e) {
    if (e < entity::kVoltage || e > entity::kLast) {
        return false;
    }
    const EntityChoice& c = entities_[static_cast<size_t>(e)];
    if (!c.visible || !c.enabled) {
        return false;
    }
    selectedEntity_ = e;
    Refresh();
    return true;
}

bool ChooseEntityLogic::SelectChannel(int index) {
    if (index < 0 || index >= kChannelObjects || !channels_[static_cast<size_t>(index)].enabled) {
        return false;
    }
    for (int i = 0; i < kChannelObjects; ++i) {
        channels_[static_cast<size_t>(i)].selected = i == index;
    }
    return true;
}

void ChooseEntityLogic::Refresh() {
    const MeasuredEntity e = selectedEntity_;
    for (int i = 0; i < kMeasuringChannels; ++i) {
        ChannelChoice& c = channels_[static_cast<size_t>(i)];
        bool available = false;
        c.text = DescribeChannelPart(doc_, i, e, available);
        c.enabled = i < doc_.GetChannels() && available;
    }
    wiring_ = ClassifyWiring(doc_, elements_);
    ChannelChoice& three = channels_[kThreePhaseChannel];
    three.text = kThreePhaseCaption;
    three.enabled = ThreePhaseOffers(wiring_, e);
    if (fixedChannel != kAnyChannel) {
        for (int i = 0; i < kChannelObjects; ++i) {
            if (i != fixedChannel) {
                ChannelChoice& c = channels_[static_cast<size_t>(i)];
                c.enabled = false;
                c.text = kNotAvailableCaption;
            }
        }
    }
    for (ChannelChoice& c : channels_) {
        if (!c.enabled) {
            c.selected = false;
        }
    }
}

int ChooseEntityLogic::SelectedChannel() const {
    for (int i = 0; i < kChannelObjects; ++i) {
        if (channels_[static_cast<size_t>(i)].selected) {
            return i;
        }
    }
    return -1;
}

const ChooseEntityLogic::EntityChoice& ChooseEntityLogic::EntityChoiceAt(MeasuredEntity e) const {
    return entities_.at(static_cast<size_t>(e));
}

const ChooseEntityLogic::ChannelChoice& ChooseEntityLogic::ChannelChoiceAt(int index) const {
    return channels_.at(static_cast<size_t>(index));
}

bool ChooseEntityLogic::CheckChoice() {
    const int selected = SelectedChannel();
    if (selected < 0) {
        message_ = kNoChannelSelectedText;
        AppMessageBox(message_, MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    std::string label;
    if (!DescribeEntityChannel(doc_, selectedEntity_, selected, label, energyAllowed, exportAllowed,
                               fixedChannel)) {
        message_ = label;
        AppMessageBox(message_, MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    entity = selectedEntity_;
    channel = selected;
    message_ = label;
    return true;
}

ChooseResult ChooseEntityLogic::Ok() {
    if (addMode_) {
        return ChooseResult::CloseCancelled;
    }
    return CheckChoice() ? ChooseResult::Close : ChooseResult::Stay;
}

ChooseResult ChooseEntityLogic::Add() {
    if (addMode_ && CheckChoice() && onAdd) {
        onAdd(entity, channel);
    }
    return ChooseResult::Stay;
}

}  // namespace kvr
