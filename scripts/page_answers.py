#!/usr/bin/env python3
"""Records every page's answer, to compare two builds of the site.

    scripts/page_answers.py --tovi build/tovi --site site --out answers.txt

Copies the web root to a temporary folder, creates the database there with the
demo menu and fixed rows (orders, news, guestbook, members, bulletin, filter
settings), serves it on a free loopback port, sends the requests of STEPS in
order and writes one record per request: status, the headers a page decides
(content type, Location, cookies, caching, attachment name) and the body as
text (GBK decoded), or the length and digest of a binary answer. What differs
from run to run is masked (mask()): the clock, session ids, request ids, upload
names, the port, the code image's noise. The same build gives the same file on
every run of the same day; scripts/same_answers.sh compares two builds.
"""
import argparse
import hashlib
import http.client
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time
from datetime import datetime, timedelta
from email.utils import parsedate_to_datetime
from urllib.parse import quote, unquote, urlencode

OWNER, OWNER_PASSWORD, OWNER_PASSWORD2 = "admin", "Owner-pass1", "Owner-pass2"
COOK, COOK_PASSWORD = "cook", "Cook-pass2"
MEMBER_PASSWORD = "member1"  # the seeded members', stored as the old MD5 digests
FOREIGN = {"Origin": "http://evil.example"}
LINES = "⊕宫保鸡丁饭 12元 X 2份=24元 \r\n\r\n⊕鲜榨橙汁 8元 X 1份=8元 \r\n\r\n"
GIF = bytes.fromhex("47494638396101000100800000ffffff00000021f90401000000002c00000000010001000002024401003b")
SEED_ORDERS = 45
NEW_ORDER = SEED_ORDERS + 1  # the first order the run stores
# Orders list by time, and those of one second by name: each order is sent in a second of its own.
OWN_SECOND = ("/dctj.asp", "/admin/phone_order.asp?action=save")
LOGIN = {"admin": OWNER, "password": OWNER_PASSWORD, "verifycode": "1234"}
RANGE = {"years": "2025", "months": "3", "days": "2", "hours": "0", "minutes": "0",
         "years1": "2025", "months1": "3", "days1": "6", "hours1": "23", "minutes1": "59"}
SIGNUP = {"names": "新会员", "password": "pass-123", "password1": "pass-123", "question": "我的家乡",
          "answer": "福州", "tel": "13912345678", "address": "鼓楼区东街2号", "email": "new@example.com",
          "postcode": "350001", "yearss": "1990", "monthss": "5", "dayss": "17", "sex": "1", "verifycode": "1234"}


def order(name, address="台江区五一路1号"):
    # Delivered at 24点, which no clock shows, so that no mask takes it for the present.
    return {"list": LINES, "list1": "32", "yhm": name, "telsss": "13800000000", "addresss": address,
            "hours": "24", "minutes": "30", "qtbz": "少辣 <b>&", "zffs": "餐到付费"}


def message(**change):
    return {"UserName": "小王", "UserMail": "wang@example.com", "qq": "12345678", "Title": "好吃",
            "Comments": "第一行\r\n<b>第二行</b> & 完", "verifycode": "1234", **change}


def dish(name, price, group="lc", content=""):
    return {"newsname": name, "jiage": price, "fblx": group, "addname": "images/dishes/d01.jpg", "Content": content}


def gets(who, *paths):
    return [(who, "GET", path) for path in paths]


def posts(who, path, *forms):
    return [(who, "POST", path, form) for form in forms]


# (who, method, path[, form[, headers]]): `who` names the browser whose cookies
# the request carries and keeps. Posts carry the site's own Origin unless the
# headers say otherwise; a form is sent GBK-encoded, a (file name, bytes) pair
# as a multipart upload.
STEPS = [
    # The storefront, as a visitor; index.asp twice: the second from its rendered copy.
    *gets("guest", "/test.asp", "/index.asp", "/index.asp", "/Index.ASP", "/kcdg.asp", "/jpsq.asp", "/ylxg.asp",
          "/guestbook.asp", "/guestbook.asp?page=2", "/guestbook.asp?page=9", "/guestbook.asp?page=x",
          "/news.asp", "/news.asp?page=2", "/news.asp?page=-1", "/newsitem.asp?id=1", "/newsitem.asp?id=24",
          "/newsitem.asp?id=99999", "/newsitem.asp?id=1x", "/newsitem.asp", "/bulletin.asp", "/register.asp",
          "/signin.asp", "/member.asp", "/ckdd.asp?names=张三", "/ckdd.asp?names=无此人", "/ckdd.asp",
          "/GetCode.asp", "/css/front.css", "/js/front.js", "/dot.gif", "/admin/live/live.js", "/admin",
          "/nosuch.asp", "/database/tamlo.mdb", "/../index.asp"),
    ("guest", "PUT", "/index.asp"),
    ("guest", "HEAD", "/index.asp"),
    # Orders: two accepted, then the per-browser limit, the address filter, a GET (refused).
    *posts("guest", "/dctj.asp", order("张三"), order("李四", "鼓楼区东街9号"), order("张三")),
    ("guest2", "POST", "/dctj.asp", order("李四", "外地某处")),
    ("guest3", "GET", "/dctj.asp"),
    # The guestbook: the refusals, then a message held for review.
    ("guest", "GET", "/guestbook.asp?action=post"),
    ("guest", "POST", "/guestbook.asp?action=post", message(), FOREIGN),
    *posts("guest", "/guestbook.asp?action=post", message(verifycode="0000"), message(UserMail="not-mail"),
           message(qq="12"), message(Title=""), message()),
    # Members: sign-up, what the page script learns, an order under another name, sign-out, sign-in.
    *posts("member", "/register.asp", {**SIGNUP, "names": "ab"}, {**SIGNUP, "password1": "other-12"}),
    ("member", "POST", "/register.asp", SIGNUP, FOREIGN),
    ("member", "POST", "/register.asp", SIGNUP),
    ("member", "GET", "/member.asp"),
    *posts("member", "/register.asp", SIGNUP),
    *posts("member", "/dctj.asp", order("张三"), order("新会员")),
    *gets("member", "/ckdd.asp", "/signout.asp"),
    ("member", "POST", "/signout.asp", {}),
    ("member", "GET", "/member.asp"),
    *posts("member2", "/signin.asp", {"names": "会员甲", "password": "wrong-pass"},
           {"names": "会员戊", "password": MEMBER_PASSWORD}),
    ("member2", "POST", "/signin.asp", {"names": "会员乙", "password": MEMBER_PASSWORD}, FOREIGN),
    ("member2", "POST", "/signin.asp", {"names": "会员乙", "password": MEMBER_PASSWORD}),
    ("member2", "GET", "/member.asp"),
    # The back office, not logged in.
    *gets("guest", "/admin/login.asp", "/admin/index.asp", "/admin/menu.asp", "/admin/admin.asp",
          "/admin/ddgl.asp", "/admin/kcdg.asp", "/admin/reg.asp", "/admin/manageadmin.asp",
          "/admin/database_menager1.asp", "/admin/live.asp", "/admin/sales_report.asp",
          "/Up_Bookpic.asp?formname=form1&editname=addname&uppath=pic&filelx=jpg", "/admin/chkadmin.asp"),
    ("guest", "POST", "/admin/ddgl2.asp?id=1", {"select": "2"}),
    ("guest", "POST", "/admin/chkadmin.asp", LOGIN, FOREIGN),
    # The owner logs in.
    ("owner", "GET", "/GetCode.asp"),
    ("owner", "POST", "/admin/chkadmin.asp", LOGIN),
    *gets("owner", "/admin/index.asp", "/admin/menu.asp", "/admin/admin.asp"),
    # Orders: the list and its filters, detail, status, delete, filter settings.
    *gets("owner", "/admin/ddgl.asp", "/admin/ddgl.asp?CurrentPage=2", "/admin/ddgl.asp?CurrentPage=99",
          "/admin/ddgl.asp?CurrentPage=x", "/admin/ddgl.asp?lb=2", "/admin/ddgl.asp?lb=4&ob=asc",
          "/admin/ddgl.asp?find=张&ob=desc", "/admin/ddgl.asp?find=无此人", "/admin/ddgl.asp?" + urlencode(RANGE)),
    ("owner", "POST", "/admin/ddgl.asp", {**RANGE, "lb": "0", "ob": "desc ", "CurrentPage": "2"}),
    *gets("owner", "/admin/ddgl.asp?years=2025", "/admin/ddgl.asp?" + urlencode({**RANGE, "months": "13"}),
          "/admin/ddgl.asp?" + urlencode({**RANGE, "years1": "2024"}), "/admin/ddgl.asp?lb=x",
          "/admin/ddgl.asp?ob=sideways", "/admin/ddgl1.asp?id=1", f"/admin/ddgl1.asp?id={NEW_ORDER}",
          "/admin/ddgl1.asp?id=x", "/admin/ddgl1.asp?id=99999", "/admin/ddgl1.asp", "/admin/ddgl2.asp?id=1&select=3"),
    ("owner", "POST", "/admin/ddgl2.asp?id=1", {"select": "3"}, FOREIGN),
    *posts("owner", "/admin/ddgl2.asp?id=1", {"select": "9"}),
    *posts("owner", "/admin/ddgl2.asp?id=99999", {"select": "3"}),
    *posts("owner", "/admin/ddgl2.asp?id=1", {"select": "3"}),
    ("owner", "GET", "/admin/ddgl3.asp?id=2"),
    ("owner", "POST", "/admin/ddgl3.asp?id=2", {}, FOREIGN),
    *posts("owner", "/admin/ddgl3.asp?id=2", {}, {}),
    *posts("owner", "/admin/ddgl3.asp?id=x", {}),
    *gets("owner", "/admin/order_pass.asp", "/admin/order_pass.asp?action=save&order_time=5"),
    *posts("owner", "/admin/order_pass.asp?action=save",
           {"radiobutton": "1", "order_time": "x", "order_times": "1", "order_delet": "1", "order_deletkey": "台江"},
           {"radiobutton": "0", "order_time": "15", "order_times": "2", "order_delet": "1",
            "order_deletkey": "台江|鼓楼|仓山", "order_flood_time": "10", "order_flood_times": "30"}),
    # Dishes: the lists, the add and edit forms, saving, deleting.
    *gets("owner", "/admin/kcdg.asp", "/admin/kcdg.asp?page=2", "/admin/kcdg.asp?page=99", "/admin/jpsq.asp",
          "/admin/ylxg.asp", "/admin/cygl.asp", "/admin/cygl.asp?page=3", "/admin/kcdgadd.asp", "/admin/jpsqadd.asp",
          "/admin/ylxgadd.asp", "/admin/kcdgadd.asp?form1up=yes&newsname=x&jiage=1"),
    *posts("owner", "/admin/kcdgadd.asp?form1up=yes", dish("新菜", "1元"),
           dish(" 新菜 <i> ", " 12.5 ", "xp", "<p>新菜 <b>好吃</b></p>")),
    *gets("owner", "/admin/kcdgedit.asp?id=1", "/admin/kcdgedit.asp?id=13", "/admin/kcdgedit.asp?id=x",
          "/admin/jpsqedit.asp?id=13", "/admin/ylxgedit.asp?id=23", "/admin/cygledit.asp?id=23"),
    *posts("owner", "/admin/kcdgedit.asp?action=save&id=1", dish("宫保鸡丁饭", "13", "lc", "<b>微辣</b> 改过")),
    *posts("owner", "/admin/cygledit.asp?action=save&id=23", dish("鲜榨橙汁", "9", "xp", "现榨")),
    ("owner", "GET", "/admin/kcdg.asp?action=del&selectdel=33"),
    *posts("owner", "/admin/kcdg.asp?action=del", {"selectdel": "33, x"}, {"selectdel": "33, 34, 13"}),
    ("owner", "GET", "/admin/kcdg.asp"),
    # News.
    *gets("owner", "/admin/cyxw.asp", "/admin/cyxw.asp?page=2", "/admin/cyxwadd.asp"),
    *posts("owner", "/admin/cyxwadd.asp?form1up=yes", {"newsname": " 新店开张 ", "Content": "<p>欢迎光临</p>"}),
    *gets("owner", "/admin/cyxwedit.asp?id=1", "/admin/cyxwedit.asp?id=999"),
    *posts("owner", "/admin/cyxwedit.asp?action=save&id=1", {"newsname": "改过的新闻", "Content": "<p>新内容</p>"}),
    *posts("owner", "/admin/cyxw.asp?action=del", {"selectdel": "2"}),
    ("owner", "GET", "/admin/cyxw.asp"),
    # The guestbook's administration; then a message shown at once.
    *gets("owner", "/admin/book_admin.asp", "/admin/book_admin.asp?page=2", "/admin/book_admin.asp?action=replay&id=1",
          "/admin/book_admin.asp?action=replay&id=x"),
    *posts("owner", "/admin/book_admin.asp?action=replay&id=1",
           {"send": "ok", "top": "1", "Online": "1", "comments": "改过\r\n两行", "Replay": "谢谢\r\n<b>再来</b>"},
           {"send": "ok", "top": "2", "Online": "1", "comments": "x", "Replay": "y"}),
    ("owner", "POST", "/admin/book_admin.asp", {"action": "删除", "id": "3, 4"}, FOREIGN),
    *posts("owner", "/admin/book_admin.asp", {"action": "删除"}, {"action": "删除", "id": "3, 4"}),
    ("owner", "GET", "/admin/book_admin.asp?action=setup&save=ok&view=1"),
    *posts("owner", "/admin/book_admin.asp?action=setup", {"save": "ok", "view": "1"}),
    ("owner", "GET", "/admin/book_admin.asp"),
    ("guest4", "POST", "/guestbook.asp?action=post", message(UserName="小李", Title="第二条")),
    # The bulletin.
    *gets("owner", "/admin/bulletin.asp", "/admin/bulletin.asp?action=save&content=x"),
    *posts("owner", "/admin/bulletin.asp?action=save", {"content": "<p><b>新公告</b>：本周六休息。</p>"}),
    ("owner", "GET", "/admin/bulletin.asp"),
    # Accounts: the operator added and edited, the refusals, a second owner added and deleted.
    ("owner", "GET", "/admin/manageadmin.asp"),
    *posts("owner", "/admin/saveadmin.asp?action=add", {"admin2": COOK, "password2": COOK_PASSWORD, "flag2": "2"},
           {"admin2": COOK, "password2": COOK_PASSWORD, "flag2": "2"},
           {"admin2": "x<y", "password2": COOK_PASSWORD, "flag2": "2"},
           {"admin2": "temp", "password2": "short", "flag2": "2"}),
    ("owner", "POST", "/admin/saveadmin.asp?action=add", {"admin2": "temp", "password2": "Temp-pass3", "flag2": "1"},
     FOREIGN),
    *posts("owner", "/admin/saveadmin.asp?action=add", {"admin2": "temp", "password2": "Temp-pass3", "flag2": "1"}),
    *gets("owner", "/admin/saveadmin.asp?action=add&admin2=temp2", "/admin/manageadmin.asp"),
    *posts("owner", "/admin/saveadmin.asp?action=edit&id=2", {"admin": COOK, "password": "", "flag": "2"}),
    ("owner", "GET", "/admin/saveadmin.asp?action=del&id=3"),
    *posts("owner", "/admin/saveadmin.asp?action=del&id=3", {}),
    *posts("owner", "/admin/saveadmin.asp?action=edit&id=1", {"admin": OWNER, "password": "", "flag": "2"}),
    *posts("owner", "/admin/saveadmin.asp?action=edit&id=x", {"admin": OWNER, "password": "", "flag": "1"}),
    *posts("owner", "/admin/saveadmin.asp?action=edit&id=99", {"admin": "nobody", "password": "", "flag": "1"}),
    *posts("owner", "/admin/saveadmin.asp?action=del&id=1", {}),
    *posts("owner", "/admin/saveadmin.asp?action=zap&id=1", {}),
    ("owner", "GET", "/admin/renpassword.asp"),
    *posts("owner", "/admin/renpassword.asp?action=save",
           {"oldpassword": "wrong-pass", "newpassword": OWNER_PASSWORD2, "newpassword2": OWNER_PASSWORD2},
           {"oldpassword": OWNER_PASSWORD, "newpassword": OWNER_PASSWORD2, "newpassword2": "Other-pass"},
           {"oldpassword": OWNER_PASSWORD, "newpassword": OWNER_PASSWORD2, "newpassword2": OWNER_PASSWORD2}),
    # Members.
    *gets("owner", "/admin/reg.asp", "/admin/reg.asp?CurrentPage=2", "/admin/reg.asp?CurrentPage=x",
          "/admin/reg1.asp?id=1", "/admin/reg1.asp?id=x", "/admin/reg1.asp?id=999", "/admin/reg2.asp?id=2&sh=0"),
    *posts("owner", "/admin/reg2.asp?id=2", {"sh": "5"}, {"sh": "0", "password": "abcdef", "password1": "abcdeg"},
           {"sh": "0"}),
    ("owner", "POST", "/admin/reg2.asp?id=2", {"sh": "1"}, FOREIGN),
    *gets("owner", "/admin/reg1.asp?id=2", "/admin/reg3.asp?id=3"),
    *posts("owner", "/admin/reg3.asp?id=3", {}, {}),
    ("owner", "GET", "/admin/reg3.asp?id=x"),
    ("member3", "POST", "/signin.asp", {"names": "会员乙", "password": MEMBER_PASSWORD}),
    # Maintenance pages, the kitchen, the editor, the picture upload.
    *gets("owner", "/admin/database_menager1.asp", "/admin/database_menager2.asp", "/admin/database_menager3.asp",
          "/admin/database_menager4.asp", "/admin/live.asp", "/admin/live.asp?action=board"),
    *posts("owner", "/admin/live.asp?action=move", {"id": str(NEW_ORDER), "from": "1"},
           {"id": str(NEW_ORDER), "from": "1"}, {"id": "x", "from": "1"}),
    ("owner", "POST", "/admin/live.asp?action=move", {"id": str(NEW_ORDER), "from": "2"}, FOREIGN),
    *gets("owner", "/admin/live_ticket.asp?id=1", f"/admin/live_ticket.asp?id={NEW_ORDER}&auto=1",
          "/admin/live_ticket.asp?id=x", "/admin/live_ticket.asp?id=99999", "/admin/phone_order.asp",
          "/admin/phone_order.asp?action=save&q1=1"),
    *posts("owner", "/admin/phone_order.asp?action=save", {"yhm": "王先生", "telsss": "0591123", "addresss": "仓山"},
           {"q1": "100", "yhm": "王先生", "telsss": "0591123", "addresss": "仓山", "hours": "24", "minutes": "30"},
           {"q1": "2", "q23": "1", "yhm": "王先生", "telsss": "0591123", "addresss": "仓山区", "hours": "24",
            "minutes": "30", "qtbz": "电话"}),
    *gets("owner", "/admin/live.asp?action=board", "/admin/sales_report.asp",
          "/admin/sales_report.asp?from=2025-03-01&to=2025-03-10",
          "/admin/sales_report.asp?from=2025-03-01&to=2025-03-10&format=csv&charset=gbk",
          "/admin/sales_report.asp?from=2025-03-01&to=2025-03-10&format=csv&charset=utf8",
          "/admin/sales_report.asp?from=2025-13-01", "/admin/sales_report.asp?from=2025-03-10&to=2025-03-01",
          "/admin/sales_report.asp?from=1900-01-01&to=2025-03-01",
          "/webedit/ewebeditor.asp?id=Content&style=standard", "/webedit/ewebeditor.asp?id=1x",
          "/Up_Bookpic.asp?formname=form1&editname=addname&uppath=pic&filelx=jpg",
          "/Up_Bookpic.asp?formname=form-1&editname=addname"),
    *posts("owner", "/Up_Bookpic.asp?formname=form1&editname=addname", ("d.gif", GIF), ("d.gif", b"GIF89a, no")),
    ("owner", "POST", "/Up_Bookpic.asp?formname=form1&editname=addname", ("d.gif", GIF), FOREIGN),
    # The operator: the kitchen's pages open, the owner's pages refused.
    ("cook", "POST", "/admin/chkadmin.asp", {"admin": COOK, "password": COOK_PASSWORD, "verifycode": "1234"}),
    *gets("cook", "/admin/index.asp", "/admin/menu.asp", "/admin/admin.asp", "/admin/ddgl.asp?lb=1",
          "/admin/live.asp?action=board", "/admin/phone_order.asp", "/admin/renpassword.asp",
          "/admin/manageadmin.asp"),
    ("cook", "POST", "/admin/saveadmin.asp?action=add", {"admin2": "x", "password2": "Temp-pass3", "flag2": "1"}),
    *gets("cook", "/admin/database_menager1.asp", "/admin/database_menager4.asp"),
    # The storefront after the changes; logging out; failed logins last (they lock the address out).
    *gets("guest", "/index.asp", "/kcdg.asp", "/guestbook.asp", "/news.asp", "/bulletin.asp", "/ckdd.asp?names=王先生"),
    *gets("owner", "/admin/book_admin.asp?action=loginout", "/admin/admin.asp"),
    *gets("cook", "/admin/logout.asp", "/admin/ddgl.asp"),
    *posts("guest", "/admin/chkadmin.asp", LOGIN, {**LOGIN, "password": OWNER_PASSWORD2, "verifycode": "0000"},
           {**LOGIN, "admin": "nobody"}, {**LOGIN, "password": ""}),
]


def seed(db):
    """Fixed rows beside the demo menu, enough of each for the lists to page."""
    c = sqlite3.connect(db)
    c.execute("update set_tamloall set order_time_state=1, order_time=10, order_times=2, order_delet_state=1, "
              "order_deletkey='台江|鼓楼'")
    c.execute("update view2 set view=0")
    c.execute("update bulletin set content='<p><b>本店公告</b>：每天 10:00-21:00 营业 &amp; 送餐。</p>'")

    def insert(table, rows):
        for row in rows:
            c.execute(f"insert into {table} ({', '.join(row)}) values ({', '.join('?' * len(row))})",
                      list(row.values()))

    insert("cygl", ({"name": f"小炒{i}号" if i > 1 else "<i>特价</i> & 饭", "jiage": str(5 + i),
                     "pic": f"images/dishes/d{i % 9 + 1:02}.jpg", "content": f"第{i}道",
                     "lei": "新品推荐" if i % 3 == 1 else "招牌老菜", "lei2": 1, "dates": f"2024-06-{i:02} 12:00:00"}
                    for i in range(1, 16)))
    names = ["张三", "李四", "王五", "<b>赵六</b>", "Tom O'Neil"]
    lines = [LINES, "⊕佛跳墙 88元 X 1份=88元 \n\n", "随便写的", ""]
    when = [datetime(2025, 3, 1, 9) + timedelta(hours=5 * i, minutes=7 * i, seconds=i) for i in range(SEED_ORDERS)]
    insert("tdgl", ({"yhm": names[i % 5], "telsss": f"1380000{i:04}", "addresss": f"台江区五一路{i}号",
                     "dcqk": lines[i % 4], "dczj": ["32", "88", "x", ""][i % 4], "hours": "12", "minutes": "30",
                     "qtbz": "备注 <i>" if i % 6 == 0 else "", "zffs": "餐到付费", "fromdate": str(t),
                     "years": t.year, "months": t.month, "days": t.day, "hourss": t.hour, "minutess": t.minute,
                     "dczt": {7: 0, 11: 9}.get(i, i % 4 + 1), "taker": "admin" if i % 10 == 0 else ""}
                    for i, t in enumerate(when)))
    insert("cyxw", ({"title": f"餐饮新闻第{i}期" if i < 24 else "<script>x</script> & 新闻",
                     "content": f"<p>第{i}期 <b>内容</b></p>", "dates": f"2025-01-{i:02} 08:00:00"}
                    for i in range(1, 25)))
    insert("Feedback", ({"UserName": f"客人{i}", "UserMail": f"g{i}@example.com", "qq": "123456",
                         "Comments": f"留言{i}<BR>第二行 <b>&amp;</b>" + "很长" * (i % 3 * 20),
                         "PostDate": f"2025-02-{i:02} 18:30:00", "Dates": f"2025-02-{i:02} 18:30:00",
                         "Replay": "谢谢<br>光临" if i % 4 == 1 else None,
                         "ReplayDate": f"2025-02-{i:02} 20:00:00" if i % 4 == 1 else None, "top": int(i in (6, 10)),
                         "Online": int(i not in (3, 15)), "del": int(i in (7, 19)), "Title": f"标题{i}" if i % 5 else ""}
                        for i in range(1, 25)))
    insert("reg", ({"names": "会员" + n, "password": hashlib.md5(MEMBER_PASSWORD.encode()).hexdigest(),
                    "sh": int(i != 5), "question": "问题", "answer": "答案", "sex": i % 2, "tel": f"1390000{i:04}",
                    "address": f"鼓楼区{i}号 <b>", "email": f"m{i}@example.com", "postcode": "350001",
                    "vocation": "餐饮", "profession": "厨师", "education": "大学", "income": "3000",
                    "yearss": 1980 + i, "monthss": i % 12 + 1, "dayss": i, "dates": f"2024-12-{i:02} 10:00:00"}
                   for i, n in enumerate("甲乙丙丁戊己庚辛壬癸子丑寅卯辰巳午未申酉戌亥东西", 1)))
    c.commit()
    c.close()


class Browser:
    """The cookies one visitor was given."""

    def __init__(self):
        self.cookies = {}

    def keep(self, set_cookie):
        pair, _, attributes = set_cookie.partition(";")
        name, _, value = pair.strip().partition("=")
        expires = re.search(r"expires=([^;]+)", attributes, re.I)
        expired = expires and parsedate_to_datetime(expires[1]).timestamp() < time.time()
        if expired or "max-age=0" in attributes.lower():
            self.cookies.pop(name, None)
        else:
            self.cookies[name] = value


def send(port, browser, method, path, form=None, headers=None):
    h = {"Cookie": "; ".join(f"{k}={v}" for k, v in browser.cookies.items())} if browser.cookies else {}
    body = None
    if method == "POST":
        h["Origin"] = f"http://127.0.0.1:{port}"
        h.update(headers or {})
        if isinstance(form, tuple):
            part = f'Content-Disposition: form-data; name="file1"; filename="{form[0]}"\r\n\r\n'
            body = b"--b0undary\r\n" + part.encode() + form[1] + b"\r\n--b0undary--\r\n"
            h["Content-Type"] = "multipart/form-data; boundary=b0undary"
        else:
            body = urlencode(form, encoding="gbk").encode()
            h["Content-Type"] = "application/x-www-form-urlencoded"
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    conn.request(method, quote(path, safe="/?&=%;:,.-_~+*'()!$@", encoding="gbk"), body, h)
    r = conn.getresponse()
    answer = (r.status, r.headers, r.read())
    conn.close()
    for line in r.headers.get_all("Set-Cookie") or []:
        browser.keep(line)
    return answer


def describe(path, headers, body):
    """The body as text, or what can be compared of a binary answer."""
    kind = headers.get("Content-Type", "")
    if path.lower().startswith("/getcode.asp") and body.startswith(b"\x89PNG"):
        width, height = int.from_bytes(body[16:20], "big"), int.from_bytes(body[20:24], "big")
        return f"[PNG {width}x{height}, its noise not compared]"
    if not re.match(r"text/(html|csv)|application/json", kind) or not (".asp" in path.lower() or "html" in kind):
        return f"[{len(body)} bytes, sha256 {hashlib.sha256(body).hexdigest()}]"
    return body.decode("utf-8" if "utf-8" in kind.lower() else "gbk", errors="backslashreplace")


def record(number, step, answer):
    who, method, path = step[:3]
    status, headers, body = answer
    out = [f"### {number} {who} {method} {path}"]
    if len(step) > 3:
        form = step[3]
        out.append("form: " + (f"file {form[0]}, {len(form[1])} bytes" if isinstance(form, tuple) else
                               "&".join(f"{k}={v}" for k, v in form.items())))
    if len(step) > 4:
        out.append("headers: " + ", ".join(f"{k}: {v}" for k, v in step[4].items()))
    out.append(f"status: {status}")
    out += [f"{name}: {headers[name]}" for name in ("Content-Type", "Location", "Cache-Control",
                                                  "Content-Disposition", "Allow") if name in headers]
    out += ["Set-Cookie: " + unquote(line, encoding="gbk", errors="backslashreplace")
            for line in headers.get_all("Set-Cookie") or []]
    return "\n".join(out) + "\n\n" + describe(path, headers, body) + "\n\n"


def masker(port, started, ended):
    """mask(text): `text` with what differs from run to run replaced by {markers}."""
    first, last, today = started - timedelta(minutes=2), ended + timedelta(minutes=2), started.date()

    def moment(y, mo, d, h=0, mi=0, s=0):
        try:
            return datetime(int(y), int(mo), int(d), int(h or 0), int(mi or 0), int(s or 0))
        except ValueError:
            return None

    def clock(m):  # a time of the run, to the minute or second
        t = moment(*m.groups())
        return "{now}" if t and first <= t <= last else m[0]

    def relative(t):  # a date as days from today, as far back as the sales report's default week
        offset = (t.date() - today).days if t else 99
        return ("{today%+d}" % offset if offset else "{today}") if -7 <= offset <= 1 else None

    def day(m):
        return relative(moment(*m.groups())) or m[0]

    def label(m):  # the sales chart's "M-D" under each day, of this year or the last
        return next(filter(None, (relative(moment(y, *m.groups())) for y in (today.year, today.year - 1))), m[0])

    def http_date(m):
        t = parsedate_to_datetime(m[0]).astimezone().replace(tzinfo=None)
        return "{http-date}" if first - timedelta(days=1) <= t <= last + timedelta(days=2) else m[0]

    def lists(m):  # the order list's five lists of a range end, pre-selected to the present
        t = moment(*re.findall(r"value='(\d+)' selected", m[0])[:5] or [0] * 3)
        return "{now as lists}" if t and first <= t <= last else m[0]

    rules = [
        (r"<select name='years(1?)'>.*?</select> 分", lists),
        (r"(\d{4})-(\d{1,2})-(\d{1,2})[ T](\d{1,2}):(\d{2})(?::(\d{2}))?", clock),
        (r"(\d{4})年(\d{1,2})月(\d{1,2})日(?:<br>)?(\d{1,2})点(\d{1,2})分", clock),
        (r"(\d{4})[-/年](\d{1,2})[-/月](\d{1,2})日?", day),
        (r"(?<=>)(\d{1,2})-(\d{1,2})(?=</text>)", label),
        (r"[A-Z][a-z]{2}, \d{2} [A-Z][a-z]{2} \d{4} \d{2}:\d{2}:\d{2} GMT", http_date),
        (r"(请在)\d+(分钟后再订餐)", r"\1{n}\2"),
        (r"(TOVISESSION=)[0-9a-f]{16,}", r"\1{session}"),
        # Order tokens: signed under the site's own key, kept for six weeks.
        (r"(?<=[=~])(\d+\.)[A-Za-z0-9_-]{22}(?=~|;|$)", r"\1{signature}"),
        (r"(tovi_orders=[^;]*; expires=)[^;]+", r"\1{in six weeks}"),
        (r"(编号 )[0-9a-f]{6}-", r"\1{run}-"),
        (r"(uploadpic/)[0-9a-f]{32}", r"\1{random}"),
        (rf"(127\.0\.0\.1|localhost):{port}\b", r"\1:{port}"),
    ]
    compiled = [(re.compile(pattern, re.S), replacement) for pattern, replacement in rules]

    def mask(text):
        for pattern, replacement in compiled:
            text = pattern.sub(replacement, text)
        return text

    return mask


def run(tovi, site, out):
    work = tempfile.mkdtemp(prefix="tovi-answers.")
    root = os.path.join(work, "root")
    server = None
    try:
        shutil.copytree(site, root, ignore=shutil.ignore_patterns("*.mdb", "*.mdb-*", "backup"))
        uploads = os.path.join(root, "uploadpic")
        for f in os.listdir(uploads):
            if f != ".keep":
                os.remove(os.path.join(uploads, f))
        subprocess.run([tovi, "init", "--root", root, "--demo"], check=True, stdout=subprocess.DEVNULL)
        subprocess.run([tovi, "passwd", "--root", root, OWNER], input=OWNER_PASSWORD + "\n", text=True, check=True,
                       stdout=subprocess.DEVNULL)
        seed(os.path.join(root, "database", "tamlo.mdb"))
        log, errors = open(os.path.join(work, "serve.out"), "w+"), open(os.path.join(work, "serve.err"), "w+")
        server = subprocess.Popen([tovi, "serve", "--root", root, "--port", "0", "--fixed-code", "1234",
                                   "--access-log", "-"], stdout=log, stderr=errors)
        port = None
        for _ in range(100):
            log.seek(0)
            listening = re.search(r"listening on http://[^/]+:(\d+)/", log.read())
            if listening:
                port = int(listening[1])
                break
            time.sleep(0.1)
        if not port:
            errors.seek(0)
            sys.exit("page_answers: the server did not start:\n" + errors.read())
        browsers, started = {}, datetime.now()
        answers = []
        for step in STEPS:
            if step[2].startswith(OWN_SECOND):
                time.sleep(1.001 - time.time() % 1)
            answers.append(send(port, browsers.setdefault(step[0], Browser()), *step[1:]))
        mask = masker(port, started, datetime.now())
        with open(out, "w", encoding="utf-8") as f:
            for number, (step, answer) in enumerate(zip(STEPS, answers), 1):
                f.write(mask(record(number, step, answer)))
    finally:
        if server:
            server.terminate()
            server.wait()
            errors.seek(0)  # what the error pages' request ids stand for
            sys.stderr.writelines(line for line in errors if "fixed-code" not in line and "fixed to" not in line)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    args = argparse.ArgumentParser(description="Records every page's answer (see the file's head).")
    args.add_argument("--tovi", required=True, help="the tovi executable")
    args.add_argument("--site", required=True, help="the web root to copy")
    args.add_argument("--out", required=True, help="the file to write")
    a = args.parse_args()
    run(os.path.abspath(a.tovi), a.site, a.out)
