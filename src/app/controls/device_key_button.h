// A key of a device picture: a push button that can show the key's light
// (an image tinted with the light colour) and a mark for a key whose
// assignment was changed.
#pragma once

#include <QPushButton>
#include <QString>
#include <atomic>
#include <cstdint>

namespace talvo::app {

class QtToolkit;

class CDeviceKeyButtonUI : public QPushButton {
  Q_OBJECT
  // The toolkit's Control reaches these by name (QtControl::SetLight and
  // friends); the layout attributes below are dynamic properties instead.
  Q_PROPERTY(uint lightColour READ LightColour WRITE SetLightColour)
  Q_PROPERTY(int lightAlpha READ LightAlpha WRITE SetLightAlpha)
  Q_PROPERTY(bool lightOn READ LightOn WRITE SetLightOn)
  Q_PROPERTY(bool keySetHidden READ KeySetHidden WRITE SetKeySetHidden)

 public:
  // Images are resolved through the toolkit's skin folder when given one.
  explicit CDeviceKeyButtonUI(QWidget* parent = nullptr, const QtToolkit* toolkit = nullptr);

  // colour packed as page colours are: red | blue << 8 | green << 16.
  // Only stores, so a lighting thread may call it; whoever changes the
  // lights repaints the page.
  void SetLight(uint32_t colour, int alpha, bool on);
  void SetKeySetHidden(bool hidden);

  uint32_t LightColour() const { return lightColour_.load(std::memory_order_relaxed); }
  int LightAlpha() const { return lightAlpha_.load(std::memory_order_relaxed); }
  bool LightOn() const { return lightOn_.load(std::memory_order_relaxed); }
  bool KeySetHidden() const { return keySetHidden_; }
  const QString& LightImage() const { return lightImage_; }
  const QString& KeySetImage() const { return keySetImage_; }

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void SetLightColour(uint colour) { lightColour_.store(colour, std::memory_order_relaxed); }
  void SetLightAlpha(int alpha) { lightAlpha_.store(alpha, std::memory_order_relaxed); }
  void SetLightOn(bool on) { lightOn_.store(on, std::memory_order_relaxed); }
  // Layout attributes, matched without regard to case: "lightimage",
  // "keysetimage"; "gmnametextcolor" is accepted and has no effect here.
  void ApplyAttribute(const QByteArray& name);

  const QtToolkit* toolkit_;
  QString lightImage_;
  QString keySetImage_;
  std::atomic<bool> lightOn_{false};
  std::atomic<uint32_t> lightColour_{255};  // red
  std::atomic<int> lightAlpha_{200};
  bool keySetHidden_ = true;
};

}  // namespace talvo::app
