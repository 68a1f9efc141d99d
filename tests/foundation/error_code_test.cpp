#include "foundation/error_code.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(ErrorCode, CodesFollowTheConvention) {
  EXPECT_EQ(static_cast<uint32_t>(SystemErrorCode(5)), 0x80000005u);
  EXPECT_EQ(static_cast<uint32_t>(kLoopBufferFull), 0xA0000014u);
  EXPECT_EQ(static_cast<uint32_t>(kLoopBufferEmpty), 0xA0000015u);
  EXPECT_EQ(static_cast<uint32_t>(kErrSocketTimeout), 0xA000000Du);
  EXPECT_EQ(static_cast<uint32_t>(kArrayFull), 0xA0000020u);
}

TEST(ErrorCode, EveryFoundationRowHasItsModuleAndMessage) {
  struct Row {
    uint32_t n;
    const char* text;
  };
  const Row rows[] = {
      {1, "<Public>没有足够的内存可以分配"},
      {2, "<Public>参数错误或越界"},
      {3, "<Public>对象没有初始化"},
      {4, "<MString>没有匹配的元素"},
      {5, "<MDateTime>无效的时间或日期"},
      {6, "<MFile>不能按照规定长度从文件中读取数据"},
      {7, "<MFile>不能按照规定长度写入文件数据"},
      {8, "<MFile>不能从文件中读取超过指定长度的字符串"},
      {10, "<MFile>文件已经存在且设置为不被拷贝"},
      {11, "<MFile>查找文件匹配参数错误"},
      {13, "<MSocket>接收数据或发送数据超时"},
      {20, "<MLoopbuf>空间已满"},
      {21, "<MLoopbuf>没有任何数据"},
      {32, "<MSelfRiseArry>超过限定空间不能再增加元素"},
      {55, "<Public>参数的空间不够"},
      {56, "<Public>调用的函数不存在"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MErrorCode::Text(FoundationErrorCode(row.n)), row.text) << row.n;
  }
}

TEST(ErrorCode, SuccessAndUnlistedCodes) {
  EXPECT_EQ(MErrorCode::Text(0), "<MErrorCode>成功返回，没有错误。");
  EXPECT_EQ(MErrorCode::Text(104), "<MErrorCode>成功返回，没有错误。");
  EXPECT_EQ(MErrorCode::Text(FoundationErrorCode(9)),
            "<MErrorCode>不能匹配的错误号(9)，请与软件提供商联系。");
}

TEST(ErrorCode, SystemErrorsCarryTheSystemTextWithoutLineEnd) {
  const std::string text = MErrorCode::Text(SystemErrorCode(2));
  ASSERT_EQ(text.rfind("<Windows>", 0), 0u) << text;
  EXPECT_GT(text.size(), 9u);
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '\r');
}

TEST(ErrorCode, SystemErrorWithoutSystemText) {
  EXPECT_EQ(MErrorCode::Text(SystemErrorCode(0x7FFFFFF)),
            "<MErrorCode>无法获取Windows错误代码的描述信息(134217727)。");
}

}  // namespace
}  // namespace fw
