// The rules of the "Choose Measuring Entity" form: which entity and channel choices are
// shown and enabled, the channel captions, and the checks of OK and Add. The form only
// mirrors this state and forwards clicks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "document/QRLDoc.h"
#include "measure/EntityChannel.h"
#include "measure/MeasuredEntity.h"

namespace kvr {

inline constexpr const char* kChooseEntityTitle = "Choose Measuring Entity";
inline constexpr const char* kNoChannelSelectedText = "No Channel Selected";
inline constexpr const char* kThreePhaseCaption = "3 Phase";
inline constexpr const char* kNotAvailableCaption = "Not Available";
// Talk versions below which a unit knows nothing of an entity.
inline constexpr double kCycleCurrentMaxVersion = 1.62;
inline constexpr double kDemandPowerVersion = 1.72;

enum class ChooseResult {
    Close,           // the form closes with OK: entity, channel and message hold the choice
    CloseCancelled,  // the form closes as cancelled (OK in add mode)
    Stay,            // the form stays open
};

class ChooseEntityLogic {
  public:
    struct EntityChoice {
        const char* label = "";
        bool visible = true;
        bool enabled = true;
    };
    struct ChannelChoice {
        std::string text;
        bool enabled = false;
        bool selected = false;
    };
    // Called on Add with the valid (entity, channel) pair.
    using AddHandler = std::function<void(MeasuredEntity, int)>;

    ChooseEntityLogic(const CQRLDoc& doc, bool addMode);

    // In and out.
    MeasuredEntity entity = entity::kNone;
    int channel = 0;
    // Restrictions, set before Open.
    bool energyAllowed = true;
    bool exportAllowed = false;
    uint16_t fixedChannel = kAnyChannel;
    AddHandler onAdd;

    // Selects the current channel and entity and computes every choice's state.
    void Open();
    // A click on an entity choice; false (nothing changes) for one hidden or disabled.
    bool SelectEntity(MeasuredEntity e);
    // A click on a channel choice (0 to 3); false for a disabled one.
    bool SelectChannel(int index);
    // The OK button ("Close" in add mode) and the "&Add" button.
    ChooseResult Ok();
    ChooseResult Add();

    bool AddMode() const { return addMode_; }
    const char* OkCaption() const { return addMode_ ? "Close" : "OK"; }
    // The entity choice for codes 1 to 14.
    const EntityChoice& EntityChoiceAt(MeasuredEntity e) const;
    const ChannelChoice& ChannelChoiceAt(int index) const;
    // The selected entity choice (0 for none) and channel choice (-1 for none).
    MeasuredEntity SelectedEntity() const { return selectedEntity_; }
    int SelectedChannel() const;
    // The label of the last valid choice, or why the last check failed.
    const std::string& Message() const { return message_; }
    ThreePhaseWiring Wiring() const { return wiring_; }
    const std::array<int, 3>& Elements() const { return elements_; }

  private:
    void Refresh();
    // The checks shared by OK and Add; true with the choice in entity, channel, message.
    bool CheckChoice();

    const CQRLDoc& doc_;
    bool addMode_;
    std::array<EntityChoice, kEntityMax + 1> entities_{};  // index 0 unused
    std::array<ChannelChoice, kChannelObjects> channels_{};
    MeasuredEntity selectedEntity_ = entity::kNone;
    std::string message_;
    ThreePhaseWiring wiring_ = ThreePhaseWiring::None;
    std::array<int, 3> elements_{-1, -1, -1};
};

}  // namespace kvr
