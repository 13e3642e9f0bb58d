<%@ Language=VBScript %>
<html>
<head>
<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>
<title>岚禾在线订餐系统</title>
<link href='css/front.css' rel='stylesheet' type='text/css'>
</head>
<body>
<div class=nav><table><tr><td class=links><a href='index.asp'>首页</a><a class=here href='kcdg.asp'>快餐订购</a><a href='jpsq.asp'>精品食区</a><a href='ylxg.asp'>饮料选购</a></td>
<td><form method=get action='ckdd.asp'>我的订单：<input type=text name='names' size=10 title='联系人'> <input type=submit value='查询'></form></td></tr></table></div>
<%
Dim obj
Set obj = Server.CreateObject("mabex.kcdgbody")
obj.main
Set obj = Nothing
%>
</body>
</html>
