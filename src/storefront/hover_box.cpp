#include "storefront/hover_box.h"

#include <string>

#include "frame/module1.h"

namespace tovi::storefront {

void writeHoverBox(const HoverBox& box) {
  auto& r = frame::Module1::Response();
  r.Write(R"(<div id='overDiv' style='position:absolute; visibility:hidden; z-index:1; left:0px; top:0px; width:30px; height:30px'></div>
<SCRIPT language=JavaScript>
if (typeof fcolor == 'undefined') { var fcolor = ")" + std::string(box.fcolor) + R"(";}
if (typeof backcolor == 'undefined') { var backcolor = "#E6EFFB";}
if (typeof textcolor == 'undefined') { var textcolor = "#008080";}
if (typeof capcolor == 'undefined') { var capcolor = "#808000";}
if (typeof width == 'undefined') { var width = "180";}
if (typeof border == 'undefined') { var border = "1";}
if (typeof offsetx == 'undefined') { var offsetx = 15;}
if (typeof offsety == 'undefined') { var offsety = 15;}
)");

  // Browser kinds. Current browsers have neither layers nor a truthy
  // document.all, so they take the standard-DOM branch.
  r.Write(R"(var ns4 = (document.layers) ? true : false;
var ie4 = (document.all) ? true : false;
var ie5 = false;
if (ie4) { if (navigator.userAgent.indexOf('MSIE 5') > 0) { ie5 = true; } }
var dom = (!ns4 && !ie4 && document.getElementById) ? true : false;
var x = 0; var y = 0; var snow = 0; var sw = 0; var cnt = 0; var dir = 1; var tr = 1;
var over = null; var txt = '';
if (ns4 || ie4 || dom) {
  if (ns4) over = document.overDiv;
  if (ie4) over = document.all['overDiv'].style;
  if (dom) over = document.getElementById('overDiv').style;
  document.onmousemove = mouseMove;
  if (ns4) document.captureEvents(Event.MOUSEMOVE);
}
)");

  r.Write(R"(function drc(text, title, pic) { dtc()" + std::to_string(box.direction) + R"(, text, title, pic); }
)");

  std::string picRow = box.pictureRow ? R"("<img src='" + pic + "' width=150 height=122>")"
                                      : R"("<FONT style='font-size:9pt'>" + pic + "</FONT>")";
  r.Write(R"(function dtc(d, text, title, pic) {
  txt = "<TABLE WIDTH=" + width + " BORDER=0 CELLPADDING=" + border + " CELLSPACING=0 BGCOLOR='" + backcolor + "'><TR><TD>"
    + "<TABLE WIDTH=100% BORDER=0 CELLPADDING=1 CELLSPACING=0 BGCOLOR=')" + std::string(box.innerFrame) + R"('><TR><TD>"
    + "<TABLE WIDTH=100% BORDER=0 CELLPADDING=0 CELLSPACING=0><TR><TD height=18 align=center><FONT style='font-size:10pt' COLOR='" + capcolor + "'>" + title + "</FONT></TD></TR></TABLE>"
    + "<TABLE WIDTH=100% BORDER=0 CELLPADDING=2 CELLSPACING=0 BGCOLOR='" + fcolor + "'><TR><TD align=center><FONT style='font-size:9pt' COLOR='" + textcolor + "'>" + text + "</FONT></TD></TR></TABLE>"
    + "<TABLE WIDTH=100% BORDER=0 CELLPADDING=2 CELLSPACING=0 BGCOLOR='" + fcolor + "'><TR><TD align=center>" + )" + picRow + R"( + "</TD></TR></TABLE>"
    + "</TD></TR></TABLE></TD></TR></TABLE>";
  layerWrite(txt);
  dir = d;
  disp();
}
)");

  r.Write(R"(function disp() {
  if (ns4 || ie4 || dom) {
    if (snow == 0) {
      if (dir == 2) { moveTo(over, x + offsetx - (width / 2), y + offsety); }
      if (dir == 1) { moveTo(over, x + offsetx, y + offsety); }
      if (dir == 0) { moveTo(over, x - offsetx - width, y + offsety); }
      showObject(over);
      snow = 1;
    }
  }
}
function mouseMove(e) {
  if (ns4 || dom) { x = e.pageX; y = e.pageY; }
  if (ie4) { x = event.x + document.body.scrollLeft; y = event.y + document.body.scrollTop; }
  if (snow) {
    if (dir == 2) { moveTo(over, x + offsetx - (width / 2), y + offsety); }
    if (dir == 1) { moveTo(over, x + offsetx, y + offsety); }
    if (dir == 0) { moveTo(over, x - offsetx - width, y + offsety); }
  }
}
function nd() {
  if (cnt >= 1) { sw = 0; }
  if (ns4 || ie4 || dom) {
    if (sw == 0) { snow = 0; hideObject(over); } else { cnt++; }
  }
}
function layerWrite(txt) {
  if (ns4) { var lyr = document.overDiv.document; lyr.write(txt); lyr.close(); }
  else if (ie4) { document.all['overDiv'].innerHTML = txt; }
  else if (dom) { document.getElementById('overDiv').innerHTML = txt; }
  if (tr) { trk(); }
}
function trk() {
  if (ns4 || ie4 || dom) {
    var nt = new Image(32, 32); nt.src = 'dot.gif';
    var bt = new Image(1, 1); bt.src = 'dot.gif';
    var ct = new Image(1, 1); ct.src = 'dot.gif';
  }
  tr = 0;
}
function showObject(obj) {
  if (ns4) obj.visibility = 'show';
  else if (ie4 || dom) obj.visibility = 'visible';
}
function hideObject(obj) {
  if (ns4) obj.visibility = 'hide';
  else if (ie4 || dom) obj.visibility = 'hidden';
}
function moveTo(obj, xL, yL) {
  if (dom) { obj.left = xL + 'px'; obj.top = yL + 'px'; }
  else { obj.left = xL; obj.top = yL; }
}
function cClick() {
  if (ns4 || ie4 || dom) { hideObject(over); sw = 0; }
}
</SCRIPT>
)");
}

}  // namespace tovi::storefront
