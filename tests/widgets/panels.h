// Test helpers for widget trees: solid and random pictures, an event log that names the panel
// each event came from, and a panel whose events all write to such a log.
#pragma once
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"

namespace testpanels {

inline std::unique_ptr<TNyRGBBits> Picture(int w, int h, uint32_t colour,
                                           ZRPixFormat format = pf24_888) {
    auto b = std::make_unique<TNyRGBBits>(nullptr);
    b->SetPixFormat(format);
    b->Resize(w, h);
    b->Create();
    b->BoxFill(0, 0, w - 1, h - 1, colour);
    return b;
}

// Block i of an n-block picture is filled with colours[i].
inline std::unique_ptr<TNyRGBBits> Strip(int w, int blockH, const std::vector<uint32_t>& colours) {
    auto b = Picture(w, blockH * int(colours.size()), 0);
    for (size_t i = 0; i < colours.size(); ++i)
        b->BoxFill(0, int(i) * blockH, w - 1, int(i + 1) * blockH - 1, colours[i]);
    return b;
}

inline std::unique_ptr<TNyRGBBits> Noise(int w, int h, std::mt19937& rng,
                                         ZRPixFormat format = pf24_888) {
    auto b = Picture(w, h, 0, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b->PSet(x, y, rng());
    return b;
}

struct Log {
    std::vector<std::string> lines;
    void Add(const std::string& s) { lines.push_back(s); }
    std::vector<std::string> Take() { return std::exchange(lines, {}); }
    int Count(const std::string& s) const {
        int n = 0;
        for (const auto& l : lines) n += l == s;
        return n;
    }
};

// Every event of p writes "name:Event" (mouse positions and keys included) to the log.
inline void Watch(TNyRGBPanel* p, const std::string& name, Log& log) {
    auto simple = [&log, name](const char* ev) {
        return [&log, name, ev](TNyRGBPanel*) { log.Add(name + ":" + ev); };
    };
    p->OnClick = simple("Click");
    p->OnCreate = simple("Create");
    p->OnRelease = simple("Release");
    p->OnShow = simple("Show");
    p->OnHide = simple("Hide");
    p->OnMouseEnter = simple("Enter");
    p->OnMouseLeave = simple("Leave");
    p->OnActivate = simple("Activate");
    p->OnDeactivate = simple("Deactivate");
    p->OnMouseMove = [&log, name](TNyRGBPanel*, TShiftState, int x, int y) {
        log.Add(name + ":Move " + std::to_string(x) + "," + std::to_string(y));
    };
    p->OnMouseDown = [&log, name](TNyRGBPanel*, TMouseButton b, TShiftState, int x, int y) {
        log.Add(name + ":Down" + std::to_string(b) + " " + std::to_string(x) + "," +
                std::to_string(y));
    };
    p->OnMouseUp = [&log, name](TNyRGBPanel*, TMouseButton b, TShiftState, int x, int y) {
        log.Add(name + ":Up" + std::to_string(b) + " " + std::to_string(x) + "," +
                std::to_string(y));
    };
    p->OnKeyDown = [&log, name](TNyRGBPanel*, uint16_t& key, TShiftState) {
        log.Add(name + ":KeyDown " + std::to_string(key));
    };
    p->OnKeyUp = [&log, name](TNyRGBPanel*, uint16_t& key, TShiftState) {
        log.Add(name + ":KeyUp " + std::to_string(key));
    };
    p->OnKeyPress = [&log, name](TNyRGBPanel*, char& key) {
        log.Add(name + ":KeyPress " + std::string(1, key));
    };
    p->OnMouseWheel = [&log, name](TNyRGBPanel*, TShiftState, int delta, const TPoint& pos,
                                   bool&) {
        log.Add(name + ":Wheel " + std::to_string(delta) + " " + std::to_string(pos.x) + "," +
                std::to_string(pos.y));
    };
}

// A panel at (x, y) of size w x h under parent.
inline TNyRGBPanel* Place(plat::TComponent* owner, TNyRGBPanel* parent, int x, int y, int w,
                          int h) {
    auto* p = new TNyRGBPanel(owner, parent);
    p->SetOffsetX(x);
    p->SetOffsetY(y);
    p->SetSizeX(w);
    p->SetSizeY(h);
    return p;
}

}  // namespace testpanels
