# Sourced by the benchmarks: order_body [NOTE] prints the order form as the
# storefront posts it (two dishes, 32 yuan), bytes in GBK, percent-encoded;
# NOTE goes into the remarks.
order_body() {
  NOTE="${1:-}" python3 - <<'PY'
import os
from urllib.parse import quote
fields = [("list", "⊕宫保鸡丁饭 12元 X 2份=24元 \r\n\r\n⊕番茄炒蛋饭 8元 X 1份=8元 \r\n\r\n"), ("list1", "32"),
          ("yhm", "张三"), ("telsss", "13800000000"), ("addresss", "台江区五一路1号"), ("hours", "12"),
          ("minutes", "00"), ("qtbz", os.environ["NOTE"]), ("zffs", "餐到付费")]
print("&".join(k + "=" + quote(v.encode("gbk")) for k, v in fields))
PY
}
