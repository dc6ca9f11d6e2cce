// The desktop clipboard for pictures: a PNG is piped to the session's clipboard tool,
// wl-copy on Wayland or xclip on X, whichever is found on PATH. Without either nothing happens.
// The call spawns the tool, feeds it and reaps it, so it belongs on a worker thread.
#pragma once
#include <string>
#include <vector>

namespace plat {

// The tool a copy would run ("" when there is none).
std::string ClipboardTool();
// True when the tool took the whole picture and exited with success.
bool CopyPngToClipboard(const std::vector<unsigned char>& png);

}  // namespace plat
