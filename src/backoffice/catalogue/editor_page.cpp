#include "backoffice/catalogue/editor_page.h"

#include <string>

#include "frame/component.h"
#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::backoffice::catalogue {

using frame::Module1::Request;
using frame::Module1::Response;

namespace {

class ewebeditor : public frame::Component {
 public:
  void main();
};

constexpr std::string_view kHead = R"(<!DOCTYPE html>
<html><head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>在线编辑器</title>
<link href="quill/quill.snow.css" rel="stylesheet" type="text/css">
<link href="editor.css" rel="stylesheet" type="text/css">
<style type="text/css">
.ql-snow .ql-picker.ql-header .ql-picker-label::before, .ql-snow .ql-picker.ql-header .ql-picker-item::before { content: "正文"; }
.ql-snow .ql-picker.ql-header .ql-picker-label[data-value="1"]::before, .ql-snow .ql-picker.ql-header .ql-picker-item[data-value="1"]::before { content: "标题 1"; }
.ql-snow .ql-picker.ql-header .ql-picker-label[data-value="2"]::before, .ql-snow .ql-picker.ql-header .ql-picker-item[data-value="2"]::before { content: "标题 2"; }
.ql-snow .ql-picker.ql-header .ql-picker-label[data-value="3"]::before, .ql-snow .ql-picker.ql-header .ql-picker-item[data-value="3"]::before { content: "标题 3"; }
.ql-snow .ql-tooltip::before { content: "访问链接："; }
.ql-snow .ql-tooltip[data-mode="link"]::before { content: "输入链接："; }
.ql-snow .ql-tooltip a.ql-action::after { content: "编辑"; }
.ql-snow .ql-tooltip a.ql-remove::before { content: "移除"; }
.ql-snow .ql-tooltip.ql-editing a.ql-action::after { content: "保存"; }
</style>
</head>
<body>
<div id="toolbar">
<span class="ql-formats"><select class="ql-header" title="段落格式"><option value="1"></option><option value="2"></option><option value="3"></option><option selected></option></select></span>
<span class="ql-formats"><button type="button" class="ql-bold" title="粗体"></button><button type="button" class="ql-italic" title="斜体"></button><button type="button" class="ql-underline" title="下划线"></button><button type="button" class="ql-strike" title="删除线"></button></span>
<span class="ql-formats"><select class="ql-color" title="文字颜色"></select><select class="ql-background" title="背景颜色"></select></span>
<span class="ql-formats"><button type="button" class="ql-list" value="ordered" title="编号列表"></button><button type="button" class="ql-list" value="bullet" title="项目符号列表"></button></span>
<span class="ql-formats"><select class="ql-align" title="对齐方式"></select></span>
<span class="ql-formats"><button type="button" class="ql-link" title="插入链接"></button><button type="button" class="ql-image" title="插入图片（输入图片地址）"></button></span>
<span class="ql-formats"><button type="button" class="ql-clean" title="清除格式"></button></span>
</div>
<div id="editor"></div>
)";

constexpr std::string_view kTail = R"(<script src="quill/quill.js"></script>
<script src="editor.js"></script>
</body></html>
)";

}  // namespace

bool isIdentifier(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
  }
  return true;
}

void ewebeditor::main() {
  std::string field = Request().QueryString("id");
  if (!isIdentifier(field)) {
    Response().Write(R"(<html><head><meta http-equiv="Content-Type" content="text/html; charset=gb2312"></head><body><p>编辑器参数错误：缺少或无效的字段名。</p></body></html>)");
    return;
  }
  std::string config = "<script>window.toviEditorConfig = {field: \"" + field +
                       "\", imagePrompt: \"请输入图片地址（例如 uploadpic/abc.jpg 或 http://...）：\", "
                       "badImage: \"图片地址只能是 http、https 地址或本站路径。\", "
                       "linkPlaceholder: \"http://\"};</script>\n";
  Response().Write(std::string(kHead) + config + std::string(kTail));
}

namespace {

const frame::PageRegistration pages([](frame::Registry& registry) {
  registry.addMain<ewebeditor>("tovi.ewebeditor");
});

}  // namespace
}  // namespace tovi::backoffice::catalogue
