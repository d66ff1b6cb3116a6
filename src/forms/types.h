#pragma once
// Basic types of the form framework: objects, ownership, colours, events.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace forms {

class TObject {
public:
    virtual ~TObject() = default;
};

// A component owns the components created with it as owner and destroys them with itself,
// in reverse order of creation.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    // True while the destructor runs: what it owns is being destroyed with it, and the derived
    // parts of this object are already gone.
    bool Destroying() const { return destroying_; }

private:
    TComponent* owner_;
    bool destroying_ = false;
    std::string name_;
    std::vector<TComponent*> owned_;
};

// Sets a flag for as long as it lives and then puts back what the flag was: the one idiom for a
// guard against re-entry, and for a stored state that follows what the window reports.
class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = previous_; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& flag_;
    bool previous_;
};

// Framework colour: 0x00BBGGRR, or a system colour.
using TColor = unsigned int;
inline constexpr TColor clBtnFace = 0xFF00000Fu; // the system's button face colour
inline constexpr TColor clWindowText = 0xFF000008u;

// Modifier keys and buttons down during a mouse event.
using TShiftState = unsigned int;
inline constexpr TShiftState ssShift = 0x01;
inline constexpr TShiftState ssAlt = 0x02;
inline constexpr TShiftState ssCtrl = 0x04;
inline constexpr TShiftState ssLeft = 0x08;
inline constexpr TShiftState ssRight = 0x10;
inline constexpr TShiftState ssMiddle = 0x20;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

using TNotifyEvent = std::function<void(TObject* sender)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;
using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;

// Message box flags and results (the Windows values).
inline constexpr unsigned MB_OK_ = 0x00;
inline constexpr unsigned MB_YESNO_ = 0x04;
inline constexpr unsigned MB_ICONSTOP_ = 0x10;
inline constexpr unsigned MB_ICONEXCLAMATION_ = 0x30;
inline constexpr int IDOK_ = 1;
inline constexpr int IDYES_ = 6;
inline constexpr int IDNO_ = 7;

// Start-up show requests (the Windows SW_ values) that the application honours.
inline constexpr int kShowMaximized = 3;
inline constexpr int kShowMinNoActive = 7;

} // namespace forms
