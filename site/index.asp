<%@ Language=VBScript %>
<html lang='zh-CN'>
<head>
<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>
<title>岚禾在线订餐系统</title>
<meta name='viewport' content='width=device-width, initial-scale=1'>
<meta name='description' content='岚禾在线订餐：新品推荐与招牌老菜，网上点菜，准时送达，餐到付费。'>
<link href='css/front.css?v=e1daf3df7c' rel='stylesheet' type='text/css'>
</head>
<body>
<%
Set nav = Server.CreateObject("tovi.nav")
nav.main
%>
<%
Set bulletin = Server.CreateObject("tovi.bulletinbox")
bulletin.main
%>
<%
Dim obj
Set obj = Server.CreateObject("mabex.indexbody")
obj.main
Set obj = Nothing
%>
</body>
</html>
