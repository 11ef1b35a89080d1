#include "app/controls/device_key_button.h"

#include <QDynamicPropertyChangeEvent>
#include <QHash>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "app/controls/skin_image.h"

namespace talvo::app {
namespace {

// The raster painter's arithmetic on premultiplied pixels, so a key drawn
// here has the very pixels the painter gives it.

// Each channel of x times a / 255, rounded.
uint ByteMul(uint x, uint a) {
  uint t = (x & 0xff00ff) * a;
  t = ((t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
  x = ((x >> 8) & 0xff00ff) * a;
  x = (x + ((x >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
  return x | t;
}

uint Over(uint dest, uint source) { return source + ByteMul(dest, qAlpha(~source)); }

// The light's colour and strength: the light image's channels times the
// colour's / 255, rounded down (TintImage), then drawn at the painter's
// opacity, which holds strength / 255 in 1/256 steps, rounded down.
struct Glow {
  uint red, green, blue;
  uint strength;  // 0..255, for an opacity below 1
  bool full;      // opacity 1

  explicit Glow(uint32_t packed, int alpha) {
    const QColor colour = PageColour(packed);
    red = uint(colour.red());
    green = uint(colour.green());
    blue = uint(colour.blue());
    const int opacity = int(std::min(alpha, 255) / 255.0 * 256);
    full = opacity >= 256;
    strength = uint(opacity * 255) >> 8;
  }

  uint Of(QRgb p) const {
    const uint s = qRgba(int(qRed(p) * red / 255), int(qGreen(p) * green / 255), int(qBlue(p) * blue / 255), qAlpha(p));
    return full ? s : ByteMul(s, strength);
  }
};

#if defined(__SSE2__)
// The same, four pixels at a time, each channel in a 16-bit lane.
const __m128i kRedBlue = _mm_set1_epi32(0x00ff00ff);

__m128i ByteMul4(__m128i x, __m128i a) {
  const __m128i half = _mm_set1_epi16(0x80);
  __m128i ag = _mm_mullo_epi16(_mm_srli_epi16(x, 8), a);
  __m128i rb = _mm_mullo_epi16(_mm_and_si128(x, kRedBlue), a);
  rb = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(rb, _mm_srli_epi16(rb, 8)), half), 8);
  ag = _mm_add_epi16(_mm_add_epi16(ag, _mm_srli_epi16(ag, 8)), half);
  return _mm_or_si128(_mm_andnot_si128(kRedBlue, ag), rb);
}

__m128i Over4(__m128i dest, __m128i source) {
  __m128i a = _mm_srli_epi32(_mm_xor_si128(source, _mm_set1_epi32(-1)), 24);
  a = _mm_or_si128(a, _mm_slli_epi32(a, 16));
  return _mm_add_epi32(source, ByteMul4(dest, a));
}

// Channels times factors / 255, rounded down: x / 255 is x * 0x8081 >> 23
// for every 16-bit x.
__m128i TimesOver255(__m128i x, __m128i factors) {
  return _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(x, factors), _mm_set1_epi16(short(0x8081))), 7);
}
#endif

// One row of a key: dest, then the look over it, then the light over that.
void ComposeRow(QRgb* dest, const QRgb* look, const QRgb* light, const Glow& glow, int n) {
  int x = 0;
#if defined(__SSE2__)
  const __m128i redBlue = _mm_set1_epi32(int(glow.blue | glow.red << 16));
  const __m128i greenAlpha = _mm_set1_epi32(int(glow.green | 255u << 16));
  const __m128i strength = _mm_set1_epi16(short(glow.strength));
  const __m128i alpha = _mm_set1_epi32(int(0xff000000));
  for (; x + 4 <= n; x += 4) {
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(look + x));
    // Where the look is opaque, as it mostly is, it hides what lay beneath.
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(d, alpha), alpha)) != 0xffff)
      d = Over4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + x)), d);
    if (light) {
      const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(light + x));
      __m128i s = _mm_or_si128(TimesOver255(_mm_and_si128(p, kRedBlue), redBlue),
                               _mm_slli_epi16(TimesOver255(_mm_srli_epi16(p, 8), greenAlpha), 8));
      if (!glow.full) s = ByteMul4(s, strength);
      d = Over4(d, s);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + x), d);
  }
#endif
  for (; x < n; ++x) {
    const uint d = Over(dest[x], look[x]);
    dest[x] = light ? Over(d, glow.Of(light[x])) : d;
  }
}

}  // namespace

CDeviceKeyButtonUI::CDeviceKeyButtonUI(QWidget* parent, const QtToolkit* toolkit)
    : QPushButton(parent), toolkit_(toolkit), picture_(parent ? KeyPicture::Of(parent) : nullptr) {
  // Checked from code reaches no event of the key.
  connect(this, &QAbstractButton::toggled, this, &CDeviceKeyButtonUI::FollowLook);
}

void CDeviceKeyButtonUI::SetLight(uint colour, int alpha, bool on) {
  lightColour_ = colour;
  lightAlpha_ = alpha;
  lightOn_ = on;
  LightChanged();
}

void CDeviceKeyButtonUI::SetLightColour(uint colour) {
  lightColour_ = colour;
  LightChanged();
}

void CDeviceKeyButtonUI::SetLightAlpha(int alpha) {
  lightAlpha_ = alpha;
  LightChanged();
}

void CDeviceKeyButtonUI::SetLightOn(bool on) {
  lightOn_ = on;
  LightChanged();
}

void CDeviceKeyButtonUI::LightChanged() {
  lightChanged_ = true;
  if (picture_) picture_->LightChanged();
}

void CDeviceKeyButtonUI::RepaintLights() {
  if (picture_)
    picture_->RepaintChanged();
  else
    update();
}

void CDeviceKeyButtonUI::SetKeySetHidden(bool hidden) {
  if (keySetHidden_ == hidden) return;
  keySetHidden_ = hidden;
  update();
  FollowLook();
}

void CDeviceKeyButtonUI::FollowLook() {
  if (!picture_ || !picture_->PaintsKeys() || picture_->isHidden()) {
    shown_.reset();
    return;
  }
  const Shown now{PresentLook(), keySetHidden_, isHidden(), geometry()};
  if (shown_ == now) return;
  if (shown_ && shown_->place != now.place) picture_->RepaintPlace(shown_->place);
  picture_->RepaintPlace(now.place);
  shown_ = now;
}

bool CDeviceKeyButtonUI::event(QEvent* e) {
  // The layout loader sets attributes as dynamic properties under the
  // layout's own spelling, after construction; so does any later change.
  if (e->type() == QEvent::DynamicPropertyChange)
    ApplyAttribute(static_cast<QDynamicPropertyChangeEvent*>(e)->propertyName());
  if (e->type() == QEvent::ParentChange) picture_ = parentWidget() ? KeyPicture::Of(parentWidget()) : nullptr;
  const bool handled = QPushButton::event(e);
  // Hover, press, focus, a style, shown or hidden: the key's own repaint
  // would not reach the picture over it.
  if (e->type() != QEvent::Paint) FollowLook();
  return handled;
}

void CDeviceKeyButtonUI::ApplyAttribute(const QByteArray& name) {
  const QByteArray key = name.toLower();
  QString* target = key == "lightimage" ? &lightImage_ : key == "keysetimage" ? &keySetImage_ : nullptr;
  if (!target) return;
  *target = property(name.constData()).toString();
  lightPath_ = SkinImagePath(toolkit_, lightImage_);
  keySetPath_ = SkinImagePath(toolkit_, keySetImage_);
  fittedLight_ = QImage();
  update();
  FollowLook();
}

void CDeviceKeyButtonUI::changeEvent(QEvent* e) {
  if (e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange || e->type() == QEvent::FontChange)
    look_ = QImage();
  QPushButton::changeEvent(e);
}

CDeviceKeyButtonUI::LookKey CDeviceKeyButtonUI::PresentLook() const {
  return {isDown(), isChecked(), underMouse(), hasFocus(), isEnabled(), isActiveWindow(),
          text(),   size(),      devicePixelRatioF()};
}

const QImage& CDeviceKeyButtonUI::Look() {
  const LookKey key = PresentLook();
  if (look_.isNull() || !(key == lookKey_)) {
    QStyleOptionButton option;
    initStyleOption(&option);
    QImage canvas((QSizeF(size()) * key.ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(key.ratio);
    canvas.fill(Qt::transparent);
    {
      // As the button would paint itself: the widget's font and text colour.
      QStylePainter painter(&canvas, this);
      painter.setFont(font());
      painter.setPen(palette().color(foregroundRole()));
      painter.drawControl(QStyle::CE_PushButton, option);
    }
    // A copy without the canvas's paint engine, which an image keeps for
    // life once painted on: some KiB a key, for every key of a picture.
    look_ = canvas.copy();
    lookKey_ = key;
  }
  return look_;
}

const QImage& CDeviceKeyButtonUI::FittedLight() {
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(size()) * ratio).toSize();
  if (fittedSize_ != pixels) fittedLight_ = QImage();
  if (fittedLight_.isNull() && !pixels.isEmpty()) {
    // Kept for the process, as the skin images are: a few key sizes.
    static QHash<QString, QImage> fitted;
    const QString key = QStringLiteral("%1|%2x%3").arg(lightPath_).arg(pixels.width()).arg(pixels.height());
    auto found = fitted.find(key);
    if (found == fitted.end()) {
      const QImage image = LoadSkinImage(lightPath_, ratio);
      found = fitted.insert(key, image.isNull() ? QImage()
                                                : image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                                      .convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    fittedLight_ = *found;
    fittedSize_ = pixels;
  }
  return fittedLight_;
}

const QImage& CDeviceKeyButtonUI::Tints::Of(const QImage& light, QColor colour) {
  for (const Tinted& t : tinted_)
    if (t.light == light.cacheKey() && t.colour == colour.rgb()) return t.image;
  tinted_.push_back({light.cacheKey(), colour.rgb(), TintedImage(light, colour)});
  return tinted_.back().image;
}

void CDeviceKeyButtonUI::paintEvent(QPaintEvent*) {
  if (picture_ && picture_->PaintsKeys()) return;
  QPainter painter(this);
  Tints tints;
  PaintKey(painter, tints);
}

void CDeviceKeyButtonUI::PaintKey(QPainter& painter, Tints& tints) {
  painter.drawImage(0, 0, Look());
  if (LightOn() && LightAlpha() > 0 && !lightPath_.isEmpty())
    DrawAtStrength(painter, rect(), tints.Of(FittedLight(), PageColour(LightColour())), LightAlpha());
  if (!keySetHidden_ && !keySetPath_.isEmpty()) {
    const QImage image = LoadSkinImage(keySetPath_, devicePixelRatioF());
    if (image.isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(rect()), image);
  }
}

bool CDeviceKeyButtonUI::ComposeOnto(QImage& canvas, const QRect& place, const QRect& clip) {
  if (!keySetHidden_ && !keySetPath_.isEmpty()) return false;
  if (canvas.format() != QImage::Format_RGB32 && canvas.format() != QImage::Format_ARGB32_Premultiplied) return false;
  const QImage& look = Look();
  if (look.devicePixelRatio() != 1.0) return false;
  const QImage* light = LightOn() && LightAlpha() > 0 && !lightPath_.isEmpty() ? &FittedLight() : nullptr;
  if (light && light->isNull()) light = nullptr;
  if (look.size() != place.size() || (light && light->size() != place.size())) return false;
  const QRect area = place & clip & canvas.rect();
  const Glow glow(LightColour(), LightAlpha());
  const QPoint from = area.topLeft() - place.topLeft();
  uchar* out = canvas.bits();
  for (int y = 0; y < area.height(); ++y)
    ComposeRow(reinterpret_cast<QRgb*>(out + (area.y() + y) * canvas.bytesPerLine()) + area.x(),
               reinterpret_cast<const QRgb*>(look.constScanLine(from.y() + y)) + from.x(),
               light ? reinterpret_cast<const QRgb*>(light->constScanLine(from.y() + y)) + from.x() : nullptr, glow,
               area.width());
  return true;
}

}  // namespace talvo::app
