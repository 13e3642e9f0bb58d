<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.jpsqedit")
obj.main
Set obj = Nothing
%>
