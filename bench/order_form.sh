# Sourced by the benchmarks: order_body [NOTE] prints the order form as the
# storefront posts it (two dishes, 32 yuan), bytes in GBK, percent-encoded;
# NOTE goes into the remarks. order_script FILE writes a wrk script that posts
# it and prints "accepted N other M" at the end (accepted: the success alert).
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

order_script() {
  cat >"$1" <<LUA
wrk.method = "POST"
wrk.body = "$(order_body)"
wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"
local threads = {}
function setup(thread) table.insert(threads, thread) end
function init(args) accepted = 0; other = 0 end
function request() wrk.headers["Origin"] = "http://" .. wrk.host .. ":" .. wrk.port; return wrk.format() end
function response(status, headers, body)
  if status == 200 and body:find('location.href="index.asp"', 1, true) then accepted = accepted + 1 else other = other + 1 end
end
function done(summary, latency, requests)
  local a, o = 0, 0
  for _, t in ipairs(threads) do a = a + t:get("accepted"); o = o + t:get("other") end
  io.write(string.format("accepted %d other %d\n", a, o))
end
LUA
}
