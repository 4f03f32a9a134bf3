#NAME "Seed"
#INDEX_LANGUAGE "English"
colour
color
	[m1][p]noun[/p] {{c}}[/m]
	[m2][trn]~ \[x\][/trn] <<ref>> [s]a.wav[/s][/m]
{to }go
  [m1][c red]verb[/c][/m]
