<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.cygl")
obj.main
Set obj = Nothing
%>
