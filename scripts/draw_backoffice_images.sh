#!/usr/bin/env bash
# Draws the back office's images (login panel, menu bars, bullets) into
# site/images and site/admin/images. Run once; the results are committed.
# Needs ImageMagick and the font of fonts-wqy-microhei.
set -euo pipefail
cd "$(dirname "$0")/.."
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
img=site/images
mkdir -p "$img" site/admin/images

# Page background tile of the login page: a quiet diagonal weave.
convert -size 16x16 xc:'#D9DDF7' -fill '#CDD2F0' -draw 'line 0,15 15,0' -draw 'point 8,8' "$img/loginbg.gif"

# The login panel: four 323x202 quarters of one 646x404 picture.
convert -size 646x404 gradient:'#F7F8FE'-'#C9CDEB' \
  -fill '#4A4F80' -draw 'roundrectangle 0,0 645,403 18,18' \
  -fill 'gradient:#FDFDFF-#E3E6F8' -draw 'roundrectangle 4,4 641,399 16,16' \
  \( -size 638x64 gradient:'#6C70AA'-'#3E4277' \) -geometry +4+4 -composite \
  -font "$font" -fill white -pointsize 26 -annotate +34+48 '岚禾网络订餐系统' \
  -pointsize 13 -fill '#DADCF2' -annotate +250+46 '1.0版' \
  -fill '#E9EBF9' -draw 'circle 150,240 150,330' \
  -fill '#D4D7F1' -draw 'circle 150,240 150,300' \
  -fill '#FFFFFF' -draw 'ellipse 150,248 62,18 0,360' \
  -fill '#9395C0' -draw 'ellipse 150,244 46,10 180,360' \
  -fill none -stroke '#6C70AA' -strokewidth 3 -draw 'arc 96,186 204,296 200,340' \
  -stroke '#6C70AA' -strokewidth 4 -draw 'line 84,206 84,276' -draw 'line 216,206 216,276' \
  -strokewidth 2 -draw 'line 78,206 78,228' -draw 'line 90,206 90,228' \
  -stroke none -fill '#4A4F80' -pointsize 15 -annotate +88+350 '美味到家　订餐无忧' \
  -fill '#FFFFFF' -stroke '#B9BCE0' -strokewidth 1 -draw 'roundrectangle 340,80 626,200 10,10' \
  -stroke none -fill '#FFFFFF' -pointsize 16 -annotate +520+46 '管理员登录' \
  -fill '#F3F4FC' -stroke '#D5D7EE' -draw 'roundrectangle 340,214 626,330 10,10' \
  -stroke none -fill '#4A4F80' -pointsize 13 -annotate +360+244 '登录说明' \
  -fill '#6C70AA' -pointsize 12 -annotate +360+268 '· 请输入用户名、密码和右侧图片中的验证码。' \
  -annotate +360+290 '· 验证码看不清时，请刷新本页换一个。' \
  -annotate +360+312 '· 多次输错后需等待十五分钟再试。' \
  -fill '#8A8DB5' -pointsize 11 -annotate +384+388 'Tovi 订餐系统 · 仅限本店工作人员使用' \
  /tmp/tovi-login-panel.png
convert /tmp/tovi-login-panel.png -crop 323x202+0+0 +repage "$img/login1.gif"
convert /tmp/tovi-login-panel.png -crop 323x202+323+0 +repage "$img/login2.gif"
convert /tmp/tovi-login-panel.png -crop 323x202+0+202 +repage "$img/login3.gif"
convert /tmp/tovi-login-panel.png -crop 323x202+323+202 +repage "$img/login4.gif"
rm -f /tmp/tovi-login-panel.png

# Menu logo, 158x38.
convert -size 158x38 gradient:'#6C70AA'-'#3E4277' \
  -fill '#FFFFFF' -draw 'circle 19,19 19,6' -fill '#6C70AA' -draw 'ellipse 19,21 9,3 0,360' \
  -fill '#3E4277' -draw 'rectangle 12,13 26,16' \
  -font "$font" -fill white -pointsize 15 -annotate +38+25 '订餐系统后台' "$img/admin_title.gif"

# Menu title bars, 158x25: sections (with a fold mark), the top links bar, the last box.
bar() { convert -size 158x25 gradient:"$1"-"$2" -fill '#9395C0' -draw 'line 0,24 157,24' "${@:3}"; }
bar '#FFFFFF' '#D5D6E8' -fill '#6C70AA' -draw 'polygon 140,9 150,9 145,15' "$img/title_bg_show.gif"
bar '#F3F3F8' '#CACBE2' -fill '#9395C0' -draw 'rectangle 2,6 4,18' "$img/title_bg_quit.gif"
cp "$img/title_bg_quit.gif" site/admin/images/title_bg_quit.gif
bar '#EAEAF2' '#C3C4DE' -fill '#6C70AA' -draw 'circle 147,12 147,8' "$img/admin_left_2.gif"

# Entry bullet, 16x16, on the menu box colour.
convert -size 16x16 xc:'#FBFBFC' -fill '#6C70AA' -draw 'polygon 5,4 11,8 5,12' "$img/bullet.gif"

# Title cell background of the back-office forms: a light band that tiles sideways.
convert -size 8x26 gradient:'#FFFFFF'-'#D5D6E8' -fill '#9395C0' -draw 'line 0,25 7,25' "$img/admin_bg_1.gif"
