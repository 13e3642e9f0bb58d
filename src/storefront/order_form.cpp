#include "storefront/order_form.h"

#include <string>

#include "frame/module1.h"
#include "frame/text.h"

namespace tovi::storefront {
namespace {

using frame::htmlEncode;

// The six functions of the order summary script, in this order, after the
// helper they share: a field named by its path from the window ('form3.yhm')
// is looked up name by name, not with eval, which the site's
// Content-Security-Policy refuses.
constexpr std::string_view kOrderScript = R"(<SCRIPT language=JavaScript>
function fieldAt(path) {
  return path.split('.').reduce(function (o, name) { return o[name]; }, window);
}
function formInputNoNull(list) {
  try {
    for (var i = 0; i < list.length; i++) {
      var part = list[i].split(',');
      var field = fieldAt(part[0]);
      if (field.value == '') {
        alert(part[1] + '域不能为空');
        field.focus();
        return false;
      }
    }
    return true;
  } catch (e) {
    alert('formInputNotNull(list) Error:' + e.message);
  }
}
function checkInputData(obj, type, noalert) {
  if (!obj) return true;
  var count = (obj.length > 1 && !obj.tagName) ? obj.length : 1;
  var kind = type.toUpperCase();
  for (var i = 0; i < count; i++) {
    var field = (count > 1) ? obj[i] : obj;
    if (kind == 'NUMBER') {
      if (field.value * 0 != 0) {
        if (!noalert) { alert('输入内容必须为数字'); field.select(); }
        return false;
      }
    } else if (kind == 'NONULL') {
      if (field.value == '') {
        if (!noalert) { alert('不能为空，必须输入内容'); field.select(); }
        return false;
      }
    } else if (kind == 'INT') {
      if (!checkInputData(obj, 'NUMBER')) return false;
      if (field.value.indexOf('.') != -1) {
        if (!noalert) { alert('只能输入整数'); field.select(); }
        return false;
      }
    }
  }
  return true;
}
function formInputLength(list) {
  var part = list.split(',');
  var field = fieldAt(part[0]);
  var tovi = field.value;
  if (tovi.length == 7 || tovi.length == 8 || tovi.length == 11) return true;
  alert(part[1] + '电话号码长度不正确！');
  field.focus();
  return false;
}
function validate(list) {
  var part = list.split(',');
  var tovi = fieldAt(part[0]).value;
  if (tovi.length < 2 || tovi.length > 5) {
    alert('联系人只能两个到五个汉字!');
    return false;
  }
  for (var i = 0; i < tovi.length; i++) {
    if (tovi.charCodeAt(i) < 128) {
      alert('联系人必须全部为中文!');
      return false;
    }
  }
  return true;
}
function checkDate() {
  if (!checkInputData(form3.number, 'INT')) return false;
  if (!formInputNoNull(['form3.yhm,联系人', 'form3.addresss,送餐地址', 'form3.telsss,联系电话'])) return false;
  if (!formInputLength('form3.telsss,联系电话')) return false;
  if (!validate('form3.yhm,联系人')) return false;
  if (!checkInputData(form3.telsss, 'INT')) return false;
  return true;
}
function subm() {
  if (!checkDate()) return;
  var form = document.forms['form3'];
  var el = form.elements;
  var lines = '';
  var total = 0;
  for (var i = 0; i < el.length; i++) {
    if (el[i].name == 'number' && el[i].value > 0) {
      var name = el[i - 2].value;
      var price = el[i - 1].value;
      var quantity = el[i].value;
      lines += '⊕' + name + ' ' + price + '元 X ' + quantity + '份=' + (price * quantity) + '元 ' + '\n\n';
      total += price * quantity;
    }
  }
  var summary = '您的订单如下：' + '\n\n' + '-------------------' + '\n\n' + lines
    + '-------------------------------------' + '\n\n' + '总计:     ' + total + '元' + '\n\n'
    + '送餐时间：' + form.hours.value + '点' + form.minutes.value + '分';
  if (lines == '') {
    alert('请在上方 快餐选择区 输入所订快餐数量');
    return;
  }
  if (confirm(summary)) {
    form.list.value = lines;
    form.list1.value = total;
    form.submit();
  }
}
</SCRIPT>
<style type='text/css'>
<!--
.STYLE1 {font-size: 14px}
.STYLE3 {color: #FF6600}
-->
</style>
<form name='form3' id='form3' method='post' action='dctj.asp' onsubmit='return false;'>
<INPUT type=hidden name='list'>
<INPUT type=hidden name='list1'>
<table width=565 border=0 align=center cellpadding=0 cellspacing=0>
)";

// The date line: the vbscript line for the browsers that run it, and the same
// line in JavaScript, written into the span only when the vbscript wrote nothing.
constexpr std::string_view kDateLine = R"(<span id='dateLine'><script language=vbscript>
dim weekdayNames
weekdayNames = array("星期一","星期二","星期三","星期四","星期五","星期六","星期七")
document.write(year(now) & "年" & month(now) & "月" & day(now) & "日  " & weekdayNames(weekday(now, 2) - 1))
</script></span><script language=JavaScript>
(function () {
  var line = document.getElementById('dateLine');
  for (var n = line.firstChild; n; n = n.nextSibling) {
    if (n.nodeType == 3 && n.nodeValue.replace(/\s/g, '') != '') return;
  }
  var names = ['星期一', '星期二', '星期三', '星期四', '星期五', '星期六', '星期七'];
  var d = new Date();
  var day = d.getDay() == 0 ? 7 : d.getDay();
  line.appendChild(document.createTextNode(d.getFullYear() + '年' + (d.getMonth() + 1) + '月' + d.getDate() + '日  ' + names[day - 1]));
})();
</script>)";

std::string hourOptions() {
  std::string out;
  for (int h = 1; h <= 24; ++h) {
    std::string v = std::to_string(h);
    out += "<option value='" + v + "'" + (h == 1 ? " selected" : "") + ">" + v + "</option>";
  }
  return out;
}

std::string orderFields() {
  return std::string(R"(<table width=564 height=181 border=0 cellpadding=0 cellspacing=0 background='./images/053ca.jpg' class=orderFields>
<tr><td width=385 valign=top>
<label class=field>联 系 人：<input type=text name='yhm' size=16 autocomplete=name></label> <label class=field>联系电话：<input type=tel name='telsss' size=18 autocomplete=tel></label><br><br>
<label class=field>送餐地址：<input type=text name='addresss' size=47 value='' autocomplete=street-address></label><br><br>
<span class=field><label for=hours>到达时间：</label><select name='hours' id=hours>)") +
         hourOptions() + R"(</select>点<select name='minutes' aria-label='到达时间 分'><option value='00' selected>00</option><option value='10'>10</option><option value='20'>20</option><option value='30'>30</option><option value='40'>40</option><option value='50'>50</option></select>分</span><br><br>
<label class=field>其他备注：<textarea name='qtbz' rows=3 style='width:294px; height:30px'></textarea></label><br><br>
<label class=field>支付方式：<select name='zffs'><option value='餐到付费'>餐到付费</option></select></label>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;<label><img src='./images/cartnext.gif' id='orderImage' alt='订餐' style='cursor:pointer' align=absbottom onclick='subm()' role=button tabindex=0></label>
</td>
<td width=169 valign=top align=center><span class=STYLE1>∞∞服务范围∞∞</span><br><br>东至 刺桐路<br><br>南至  宝洲路<br><br>西至 新华路<br><br>北至 东&nbsp;街</td></tr>
</table>
)";
}

}  // namespace

void writeOrderPageStart(std::string_view titleImage, std::string_view titleText) {
  auto& r = frame::Module1::Response();
  r.Write(kOrderScript);
  frame::Module1::showBanner();
  r.Write(R"(<TR><TD>
<table width=565 height=39 border=0 cellpadding=0 cellspacing=0 class=title>
<tr><td width=10 class=com1>&nbsp;</td><td width=179 class=com1><img src=')" + htmlEncode(titleImage) +
          "' alt='" + htmlEncode(titleText) + R"(' width=120 height=25></td>
<td width=376 class=com1><div align=center class=notice>)");
  r.Write(kDateLine);
  r.Write(R"(&nbsp;&nbsp;<font color='#ff0000'>每天8：30后菜单均为当日最新，周六周日除外</font></div></td></tr>
</table>
</TD></TR>
<TR><TD height=3 background='./images/xian.gif'></TD></TR>
)");
}

void writeDishFields(std::string_view nameField, std::string_view priceField, std::string_view name,
                     std::string_view price) {
  frame::Module1::Response().Write("<input type=hidden name='" + std::string(nameField) + "' value='" +
                                   htmlEncode(name) + "'><input type=hidden name='" + std::string(priceField) +
                                   "' value='" + htmlEncode(price) +
                                   "'><input type=text name='number' size=1 maxlength=2 onmouseover='this.select()' inputmode=numeric aria-label='" +
                                   htmlEncode(name) + " 数量'>");
}

void writeOrderBlock(OrderBlock kind) {
  auto& r = frame::Module1::Response();
  if (kind == OrderBlock::category) {
    r.Write(R"(<TR><TD>
<table width=566 height=39 border=0 cellpadding=0 cellspacing=0>
<tr><td width=9 class=com1>&nbsp;</td><td width=386 class=com1><img src='./images/wydc.gif' alt='我要订餐' width=120 height=25></td><td width=140></td></tr>
</table>
</TD></TR>
<TR><TD height=3 background='./images/xian.gif'></TD></TR>
<TR><TD>
)" + orderFields() + R"(</TD></TR>
)");
    return;
  }
  r.Write(R"(<table width=566 height=212 border=0 cellpadding=0 cellspacing=0>
<tr><td width=9 height=39 class=com1>&nbsp;</td><td width=386 class=com1><img src='./images/wydc.gif' alt='我要订餐' width=120 height=25></td><td width=140 class=com1><a href='https://tovi.example/Product.asp' target='_blank' aria-hidden=true tabindex=-1></a></td></tr>
<tr><td colspan=3 height=3 background='./images/xian.gif'></td></tr>
<tr><td colspan=3>
)" + orderFields() + R"(</td></tr>
</table>
)");
}

void writeOrderPageEnd() { frame::Module1::Response().Write("</table>\n</form>\n"); }

}  // namespace tovi::storefront
