count.txt
