// Message-box responders.
#include "platform/messagebox.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/mainqueue.h"
#include "platform/messagewindow.h"

namespace plat {

MsgAnswer DismissAnswer(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
            return MsgAnswer::Ok;
        case MsgButtons::YesNo:
            return MsgAnswer::No;
        default:
            return MsgAnswer::Cancel;
    }
}

MsgAnswer FirstAnswer(MsgButtons buttons) {
    return buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel ? MsgAnswer::Ok
                                                                        : MsgAnswer::Yes;
}

bool Offers(MsgButtons buttons, MsgAnswer answer) {
    switch (buttons) {
        case MsgButtons::Ok:
            return answer == MsgAnswer::Ok;
        case MsgButtons::OkCancel:
            return answer == MsgAnswer::Ok || answer == MsgAnswer::Cancel;
        case MsgButtons::YesNo:
            return answer == MsgAnswer::Yes || answer == MsgAnswer::No;
        case MsgButtons::YesNoCancel:
            return answer != MsgAnswer::Ok;
    }
    return false;
}

HeadlessMessageResponder::HeadlessMessageResponder(MsgAnswer answer,
                                                   std::function<void(const std::string&)> sink)
    : answer_(answer), sink_(std::move(sink)) {}

MsgAnswer HeadlessMessageResponder::Ask(const MsgRequest& request) {
    std::string line = "message box: " + request.caption + ": " + request.text;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    if (sink_)
        sink_(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
    return Offers(request.buttons, answer_) ? answer_ : FirstAnswer(request.buttons);
}

namespace {

struct ButtonSpec {
    MsgAnswer answer;
    const char* label;
};

std::vector<ButtonSpec> ButtonsOf(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
            return {{MsgAnswer::Ok, "OK"}};
        case MsgButtons::OkCancel:
            return {{MsgAnswer::Ok, "OK"}, {MsgAnswer::Cancel, "Cancel"}};
        case MsgButtons::YesNo:
            return {{MsgAnswer::Yes, "Yes"}, {MsgAnswer::No, "No"}};
        case MsgButtons::YesNoCancel:
            return {{MsgAnswer::Yes, "Yes"}, {MsgAnswer::No, "No"}, {MsgAnswer::Cancel, "Cancel"}};
    }
    return {};
}

MsgAnswer AskSdl(const MsgRequest& request) {
    const auto specs = ButtonsOf(request.buttons);
    std::vector<SDL_MessageBoxButtonData> data;
    for (size_t i = 0; i < specs.size(); ++i) {
        SDL_MessageBoxButtonData b{};
        b.buttonid = static_cast<int>(i);
        b.text = specs[i].label;
        if (i == 0) b.flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (specs[i].answer == DismissAnswer(request.buttons))
            b.flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        data.push_back(b);
    }
    SDL_MessageBoxData box{};
    switch (request.icon) {
        case MsgIcon::Error:
            box.flags = SDL_MESSAGEBOX_ERROR;
            break;
        case MsgIcon::Warning:
            box.flags = SDL_MESSAGEBOX_WARNING;
            break;
        default:
            box.flags = SDL_MESSAGEBOX_INFORMATION;
            break;
    }
    box.title = request.caption.c_str();
    box.message = request.text.c_str();
    box.numbuttons = static_cast<int>(data.size());
    box.buttons = data.data();
    int hit = -1;
    if (SDL_ShowMessageBox(&box, &hit) != 0 || hit < 0 || hit >= static_cast<int>(specs.size()))
        return DismissAnswer(request.buttons);
    return specs[static_cast<size_t>(hit)].answer;
}

bool EnvHeadless(MsgAnswer& answer) {
    if (const char* h = std::getenv("SOLVANE_HEADLESS")) {
        if (!std::strcmp(h, "cancel")) answer = MsgAnswer::Cancel;
        if (!std::strcmp(h, "yes")) answer = MsgAnswer::Yes;
        if (!std::strcmp(h, "no")) answer = MsgAnswer::No;
        return true;
    }
    const char* drv = std::getenv("SDL_VIDEODRIVER");
    if (drv && (!std::strcmp(drv, "dummy") || !std::strcmp(drv, "offscreen"))) return true;
    return !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
}

std::atomic<MessageResponder*> g_installed{nullptr};

}  // namespace

MsgAnswer SdlMessageResponder::Ask(const MsgRequest& request) {
    MsgAnswer answer = DismissAnswer(request.buttons);
    MainQueue::Instance().Invoke([&] {
        if (!AskInOwnWindow(request, answer)) answer = AskSdl(request);
    });
    return answer;
}

MessageResponder& GetMessageResponder() {
    if (MessageResponder* r = g_installed.load()) return *r;
    static MsgAnswer answer = MsgAnswer::Ok;
    static const bool headless = EnvHeadless(answer);
    static HeadlessMessageResponder headlessResponder(answer);
    static SdlMessageResponder sdlResponder;
    if (headless) return headlessResponder;
    return sdlResponder;
}

void SetMessageResponder(MessageResponder* responder) {
    g_installed.store(responder);
}

MsgAnswer ShowMessage(const std::string& text, const std::string& caption, CodePage cp,
                      MsgButtons buttons, MsgIcon icon) {
    MsgRequest request;
    request.text = ToUtf8(text, cp);
    request.caption = ToUtf8(caption, cp);
    request.buttons = buttons;
    request.icon = icon;
    return GetMessageResponder().Ask(request);
}

}  // namespace plat
