#include "foundation/error_code.h"

#include <cstdio>

#include "foundation/platform/platform.h"

namespace fw {
namespace {

struct ErrorRow {
  uint32_t n;
  const char* module;
  const char* message;
};

constexpr ErrorRow kRows[] = {
    {1, "Public", "没有足够的内存可以分配"},
    {2, "Public", "参数错误或越界"},
    {3, "Public", "对象没有初始化"},
    {4, "MString", "没有匹配的元素"},
    {5, "MDateTime", "无效的时间或日期"},
    {6, "MFile", "不能按照规定长度从文件中读取数据"},
    {7, "MFile", "不能按照规定长度写入文件数据"},
    {8, "MFile", "不能从文件中读取超过指定长度的字符串"},
    {10, "MFile", "文件已经存在且设置为不被拷贝"},
    {11, "MFile", "查找文件匹配参数错误"},
    {13, "MSocket", "接收数据或发送数据超时"},
    {20, "MLoopbuf", "空间已满"},
    {21, "MLoopbuf", "没有任何数据"},
    {32, "MSelfRiseArry", "超过限定空间不能再增加元素"},
    {55, "Public", "参数的空间不够"},
    {56, "Public", "调用的函数不存在"},
};

std::string Format(const char* format, const char* a, const char* b) {
  char text[1024];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

std::string FormatNumber(const char* format, int value) {
  char text[256];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

int32_t LastSystemErrorCode() { return SystemErrorCode(platform::LastSystemError()); }

std::string MErrorCode::Text(int32_t code) {
  if (code >= 0) return "<MErrorCode>成功返回，没有错误。";
  const uint32_t value = static_cast<uint32_t>(code);
  if (IsFoundationErrorCode(code)) {
    const uint32_t n = value - 0xA0000000u;
    for (const ErrorRow& row : kRows) {
      if (row.n == n) return Format("<%s>%s", row.module, row.message);
    }
    return FormatNumber("<MErrorCode>不能匹配的错误号(%d)，请与软件提供商联系。",
                        static_cast<int>(n));
  }
  if (IsSystemErrorCode(code)) {
    const uint32_t systemError = value - 0x80000000u;
    std::string message;
    if (platform::SystemErrorText(systemError, &message)) {
      while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
      }
      return "<Windows>" + message;
    }
    return FormatNumber("<MErrorCode>无法获取Windows错误代码的描述信息(%d)。",
                        static_cast<int>(systemError));
  }
  return FormatNumber("<MErrorCode>不能匹配的错误号(%d)，请与软件提供商联系。", code);
}

}  // namespace fw
