// A view that shows text.
#pragma once

#include <string>

#include "kit/view.h"

namespace kit {

enum class TextAlignment { Left, Center, Right };

class Label : public View {
 public:
  Label() { setUserInteractionEnabled(false); }
  std::string className() const override { return "Label"; }

  const std::string& text() const { return text_; }
  void setText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    setNeedsDisplay();
  }

  float fontSize = 17;
  bool boldFont = false;
  Color textColor = Color::black();
  int numberOfLines = 1;  // 0: as many as needed
  TextAlignment textAlignment = TextAlignment::Left;

 private:
  std::string text_;
};

}  // namespace kit
