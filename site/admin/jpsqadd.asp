<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.jpsqadd")
obj.main
Set obj = Nothing
%>
