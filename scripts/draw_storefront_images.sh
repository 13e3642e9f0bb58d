#!/usr/bin/env bash
# Draws the storefront's images (titles, buttons, backgrounds, banner and the
# demo dish pictures) into site/images. Run once after changing a picture;
# the results are committed, so building the site never needs ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/../site/images"
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

# Titles at twice the 120 x 25 the pages show them at, sharp on phones' screens.
title() {  # file text colour
  convert -size 240x50 xc:none -fill "$3" -draw "roundrectangle 0,4 239,44 12,12" \
    -fill white -draw "circle 24,24 32,24" -font "$font" -pointsize 28 -fill white \
    -gravity west -annotate +48+0 "$2" "$1"
}
title kcdg.gif "快餐订购" "#D9661F"
title xptj.gif "新品推荐" "#C23B22"
title lpmc.gif "招牌老菜" "#8C5A2B"
title wydc.gif "我要订餐" "#2E8B57"

convert -size 96x24 xc:none -fill "#E8541E" -draw "roundrectangle 0,0 95,23 8,8" \
  -font "$font" -pointsize 13 -fill white -gravity center -annotate +0+0 "确认订餐 »" cartnext.gif
convert -size 8x3 xc:white -fill "#F0A040" -draw "rectangle 0,1 4,1" xian.gif
convert -size 160x210 gradient:"#FFFFFF"-"#FFF3E0" -fill none -stroke "#F5D3A8" \
  -draw "roundrectangle 2,2 157,207 8,8" -colors 16 main_bg.gif
convert -size 564x181 gradient:"#FFFDF5"-"#FDEBD0" -quality 70 053ca.jpg
convert -size 560x7 xc:none -fill "#E8541E" -draw "rectangle 0,3 559,4" -fill "#F0A040" \
  -draw "circle 3,3 6,3" -draw "circle 556,3 559,3" jb1.gif
convert -size 1x1 xc:none dot.gif
convert -size 565x160 gradient:"#E8541E"-"#F6B042" \
  -fill "#FFFFFF40" -draw "circle 470,80 470,10" -fill "#FFFFFF30" -draw "circle 520,130 520,100" \
  -font "$font" -fill white -pointsize 40 -annotate +40+80 "岚禾在线订餐" \
  -pointsize 18 -annotate +44+118 "新鲜现做 · 准时送达 · 餐到付费" -quality 75 banner.jpg

# Demo dishes: one plate each, in the order of the demo menu.
mkdir -p dishes
names=(宫保鸡丁饭 番茄炒蛋饭 鱼香肉丝饭 红烧排骨饭 卤肉饭 沙茶面 扬州炒饭 黑椒牛柳饭 咖喱鸡饭 香菇滑鸡饭
       榨菜肉丝面 麻婆豆腐饭 佛跳墙 荔枝肉 清蒸石斑鱼 白灼虾 东坡肉 醉排骨 海蛎煎 葱油鸡 红糟鱼 八宝芋泥
       鲜榨橙汁 柠檬红茶 珍珠奶茶 绿豆汤 酸梅汤 椰子汁 菊花茶 西瓜汁 豆浆 铁观音)
colours=("#D2691E" "#E5533D" "#C0392B" "#8B4513" "#A0522D" "#CD853F" "#DAA520" "#5D4037" "#E1A12B" "#B5651D"
         "#9C6B30" "#C2452D" "#7B3F00" "#D35400" "#2E86AB" "#F08A5D" "#8E3B2E" "#B03A2E" "#A67B5B" "#D4AC0D"
         "#922B21" "#7D3C98" "#F39C12" "#C0392B" "#A0785A" "#27AE60" "#6E2C00" "#F5F5DC" "#F4D03F" "#E74C3C"
         "#F5E6CA" "#6B8E23")
for i in "${!names[@]}"; do
  n=$(printf "%02d" $((i + 1)))
  c=${colours[$i]}
  convert -size 160x122 gradient:"#FDF6EC"-"#F0E0C8" \
    -fill "#00000022" -draw "ellipse 82,60 62,42 0,360" \
    -fill white -stroke "#DDDDDD" -draw "ellipse 80,56 62,42 0,360" \
    -fill "$c" -stroke none -draw "ellipse 80,56 40,26 0,360" \
    -fill "#FFFFFF55" -draw "ellipse 68,46 12,6 0,360" \
    -font "$font" -pointsize 15 -fill "#4A2C0F" -stroke none -gravity south -annotate +0+2 "${names[$i]}" \
    -quality 72 "dishes/d$n.jpg"
done
