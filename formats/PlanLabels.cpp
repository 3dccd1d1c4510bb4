// Label helpers of the drawing writers.
#include "formats/PlanLabels.h"

#include "core/Numbers.h"

namespace vltrx {

bool isTextObject(const CategoryIds& ids) {
  for (uint16_t id : ids)
    if (isTextCategory(id)) return true;
  return false;
}

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

void expandCoordinateFormat(std::string_view format, const CoordinatePoint& point, std::string_view lineBreak,
                            std::vector<std::string>& texts) {
  texts.clear();
  texts.emplace_back();
  const size_t n = format.size();
  for (size_t i = 0; i < n; ++i) {
    std::string& out = texts.back();
    const char c = format[i];
    if (c == '#') {
      appendInt(out, point.number);
      continue;
    }
    if (c == '\\' && i + 1 < n && (format[i + 1] == 'n' || format[i + 1] == 'N')) {
      if (format[i + 1] == 'n')
        out.append(lineBreak);
      else
        texts.emplace_back();
      ++i;
      continue;
    }
    if (c != '%' || i + 1 >= n) {
      out.push_back(c);
      continue;
    }
    const char token = lower(format[i + 1]);
    double value;
    switch (token) {
      case 'x':
      case 'e':
        value = point.x;
        break;
      case 'y':
      case 'n':
        value = point.y;
        break;
      case 'z':
        value = point.z;
        break;
      case 'k':
        out.append(point.pointCategory);
        ++i;
        continue;
      case 'p':
        out.append(point.polygonCategory);
        ++i;
        continue;
      case 'c':
        out.append(point.pointCategory.empty() ? point.polygonCategory : point.pointCategory);
        ++i;
        continue;
      default:
        out.push_back(c);
        out.push_back(format[i + 1]);
        ++i;
        continue;
    }
    i += 2;  // now on the character after the token
    int decimals = 4;
    if (i + 1 < n && format[i] == '.') {
      if (format[i + 1] >= '0' && format[i + 1] <= '9') decimals = format[i + 1] - '0';
      i += 2;
    }
    appendFixed(out, value, decimals);
    --i;  // the loop steps on
  }
}

}  // namespace vltrx
