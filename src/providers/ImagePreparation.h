#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

// Turns a capture into the JPEG a provider receives. Costs tens of
// milliseconds for a large screen: call it off the main thread.
namespace ImagePreparation {

// The longest side the OpenAI and Gemini clients send.
constexpr int maxSide = 2048;

// The image itself when both sides are at most limit, else scaled smoothly so
// that its longer side is exactly limit, keeping the aspect ratio. A null
// image stays null.
QImage scaledToFit(const QImage& image, int limit);

// JPEG at quality (0-100) of image scaled to fit limit (0: full size).
// Transparent parts are laid on white, as JPEG has no transparency.
// nullopt when the image is null or cannot be encoded.
std::optional<QByteArray> jpeg(const QImage& image, int limit, int quality);

} // namespace ImagePreparation
