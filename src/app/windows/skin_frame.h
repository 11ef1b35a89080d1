// The skin chooser and the process-wide hand-out of skin changes.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <string>
#include <vector>

#include "app/toolkit/qt/qt_toolkit.h"

class QDialog;

namespace talvo::app {

struct SkinChange {
  bool isColour = false;
  uint32_t colour = 0;  // ARGB, when isColour
  std::string image;    // otherwise
};

class SkinReceiver {
 public:
  virtual ~SkinReceiver() = default;
  virtual void OnSkinChanged(const SkinChange& change) = 0;
};

// Hands every skin change to all registered receivers. Receivers remove
// themselves before they go away.
class SkinObserver {
 public:
  static SkinObserver& Instance();
  void Add(SkinReceiver* receiver);
  void Remove(SkinReceiver* receiver);
  void Broadcast(const SkinChange& change);

 private:
  std::vector<SkinReceiver*> receivers_;
};

inline constexpr const char* kDefaultBackground = "common/background.png";

// The chooser's top-right corner goes to the bottom-right corner of the skin
// button (both in screen coordinates).
QPoint SkinFramePosition(const QRect& skinButtonOnScreen, const QSize& frameSize);

// Layout "skin.xml": options "skin_image"/"skin_color" switch "skin_tab"; the
// "skin_image_btn" buttons carry their image as user data, the
// "skin_color_btn" buttons their colour as background colour. A pop-up that
// closes when the user clicks elsewhere and frees itself afterwards.
class CSkinFrame final : public QObject, public toolkit::WindowHandler {
 public:
  static constexpr const char* kLayout = "skin.xml";
  static constexpr const char* kCustomFilter = "Images (*.png);;All files (*)";

  // Null when the layout cannot be loaded.
  static CSkinFrame* Open(QtToolkit& toolkit, const QRect& skinButtonOnScreen);

  QDialog* Dialog() const { return dialog_; }
  QtWindow& GetWindow() { return window_; }
  void Notify(const toolkit::Notification& n) override;

 private:
  explicit CSkinFrame(QtToolkit& toolkit);
  bool Create(const QRect& skinButtonOnScreen);

  QtToolkit& toolkit_;
  QtWindow window_;
  QDialog* dialog_ = nullptr;
};

}  // namespace talvo::app
