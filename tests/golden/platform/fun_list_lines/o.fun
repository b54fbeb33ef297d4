a.txt

c.txt
b.txt