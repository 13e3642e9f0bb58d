<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.book_admin")
obj.main
Set obj = Nothing
%>
