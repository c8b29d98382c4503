#include "session/upload_progress_display.h"

#include <algorithm>
#include <cstdio>

#include "core/log.h"
#include "platform/standard_streams.h"

namespace {

std::string Rate(uint64_t bytesPerSecond) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f KB/s", static_cast<double>(bytesPerSecond) / 1024.0);
    return text;
}

std::string Duration(uint64_t seconds) {
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof(text), "%u:%02u:%02u", static_cast<unsigned>(seconds / 3600),
                      static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    } else {
        std::snprintf(text, sizeof(text), "%u:%02u", static_cast<unsigned>(seconds / 60),
                      static_cast<unsigned>(seconds % 60));
    }
    return text;
}

// The name cut in its middle ("long...name.jar") to at most width characters.
std::string Shortened(const std::string& name, std::size_t width) {
    if (name.size() <= width) return name;
    if (width <= 3) return name.substr(0, width);
    const std::size_t tail = (width - 3) / 2;
    return name.substr(0, width - 3 - tail) + "..." + name.substr(name.size() - tail);
}

} // namespace

std::string FormatUploadProgress(const std::string& name, uint64_t sent, uint64_t total, uint32_t elapsedMs) {
    sent = std::min(sent, total);
    const unsigned percent = total == 0 ? 100u : static_cast<unsigned>(sent * 100 / total);
    std::string figures = "  " + std::to_string(sent) + "/" + std::to_string(total) + " bytes  " +
                          std::to_string(percent) + "%";
    // Rate and time left need something to go by: bytes sent over a measurable time.
    if (sent > 0 && elapsedMs > 0) {
        const uint64_t rate = sent * 1000 / elapsedMs;
        const uint64_t left = rate == 0 ? 0 : ((total - sent) + rate - 1) / rate;
        figures += "  " + Rate(rate) + "  " + Duration(left) + " left";
    } else {
        figures += "  -- KB/s  --:-- left";
    }
    const std::size_t room = ProgressLineWidth > figures.size() ? ProgressLineWidth - figures.size() : 0;
    return Shortened(name, room) + figures;
}

bool RedrawDue(uint32_t lastDrawTick, uint32_t now) {
    return static_cast<uint32_t>(now - lastDrawTick) >= ProgressRedrawIntervalMs;
}

UploadProgressDisplay::UploadProgressDisplay(platform::Clock& clock, Writer write)
    : clock_(clock), write_(std::move(write)) {}

void UploadProgressDisplay::FileStarted(const std::string& name, uint64_t total) {
    std::lock_guard<std::mutex> lock(lock_);
    active_ = true;
    name_ = name;
    total_ = total;
    sent_ = 0;
    startTick_ = clock_.TickCount();
    Draw();
}

void UploadProgressDisplay::BytesSent(uint64_t sent) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!active_) return;
    sent_ = sent;
    if (RedrawDue(lastDrawTick_, clock_.TickCount())) Draw();
}

void UploadProgressDisplay::FileFinished() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!active_) return;
    active_ = false;
    if (drawnWidth_ > 0) write_("\r" + std::string(drawnWidth_, ' ') + "\r");
    drawnWidth_ = 0;
}

void UploadProgressDisplay::Draw() {
    lastDrawTick_ = clock_.TickCount();
    const std::string line = FormatUploadProgress(name_, sent_, total_, lastDrawTick_ - startTick_);
    // Blanks cover what is left of a longer line drawn before.
    std::string text = "\r" + line;
    if (line.size() < drawnWidth_) text.append(drawnWidth_ - line.size(), ' ');
    drawnWidth_ = std::max(drawnWidth_, line.size());
    write_(text);
}

namespace {

UploadProgressDisplay& TerminalDisplay() {
    static UploadProgressDisplay display(platform::SystemClock(), [](const std::string& text) {
        platform::WriteStandardOutput(text.data(), text.size());
    });
    return display;
}

} // namespace

UploadProgressOnTerminal::UploadProgressOnTerminal() {
    if (ConsoleEnabled && platform::IsStandardOutputTerminal()) {
        obex::SetUploadObserver(&TerminalDisplay());
        installed_ = true;
    }
}

UploadProgressOnTerminal::~UploadProgressOnTerminal() {
    if (installed_) obex::SetUploadObserver(nullptr);
}
