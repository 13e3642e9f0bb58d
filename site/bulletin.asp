<%@ Language=VBScript %>
<html lang='zh-CN'>
<head>
<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>
<title>网站公告 - 岚禾在线订餐系统</title>
<meta name='viewport' content='width=device-width, initial-scale=1'>
<meta name='description' content='岚禾在线订餐的网站公告。'>
<link href='css/front.css?v=e1daf3df7c' rel='stylesheet' type='text/css'>
</head>
<body>
<%
Set nav = Server.CreateObject("tovi.nav")
nav.main
%>
<%
Set obj = Server.CreateObject("tovi.bulletin")
obj.main
%>
</body>
</html>
