// Message boxes. The game's texts arrive as Shift-JIS or GBK bytes and are shown as UTF-8.
// Who answers is a responder: the SDL one shows a real box on the main thread; the headless
// one writes the box to a log and answers at once with a configured button, because a real
// box in an unattended run would wait for ever.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/codepage.h"

namespace plat {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MsgRequest {
    std::string caption;  // UTF-8
    std::string text;     // UTF-8
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
};

class MessageResponder {
  public:
    virtual ~MessageResponder() = default;
    virtual MsgAnswer Ask(const MsgRequest& request) = 0;
};

// Shows the box on the main thread (the calling thread waits when it is another): in a window
// of our own drawn with the game's font engine, or, when no font can be had, with SDL's box.
// A box that cannot be shown answers as closing it would: Cancel or No where offered.
class SdlMessageResponder : public MessageResponder {
  public:
    MsgAnswer Ask(const MsgRequest& request) override;
};

// Logs "caption: text" as one line through the sink (stderr when none) and answers with
// the configured button; when the box does not offer that button, with its first one.
class HeadlessMessageResponder : public MessageResponder {
  public:
    explicit HeadlessMessageResponder(MsgAnswer answer = MsgAnswer::Ok,
                                      std::function<void(const std::string&)> sink = {});
    MsgAnswer Ask(const MsgRequest& request) override;

  private:
    MsgAnswer answer_;
    std::function<void(const std::string&)> sink_;
};

// The answer a box gives when it is dismissed without choosing, and its first button.
MsgAnswer DismissAnswer(MsgButtons buttons);
MsgAnswer FirstAnswer(MsgButtons buttons);
bool Offers(MsgButtons buttons, MsgAnswer answer);

// The process-wide responder. Until one is installed it is the headless one when SDL's video
// driver is "dummy" or "offscreen", when SOLVANE_HEADLESS is set (its value, "ok", "cancel",
// "yes" or "no", picks the answer) or when there is no display; otherwise the SDL one.
MessageResponder& GetMessageResponder();
// Installs a responder; null restores the automatic choice. Not owned.
void SetMessageResponder(MessageResponder* responder);

// Converts the byte texts and asks the installed responder.
MsgAnswer ShowMessage(const std::string& text, const std::string& caption, CodePage cp,
                      MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None);

}  // namespace plat
